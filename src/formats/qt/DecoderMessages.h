#pragma once

#include <string>
#include <vector>

namespace velmora::images {

// While one lives, what Qt and its image plug-ins (libpng, libtiff, libjpeg) say on this thread
// is kept here instead of being printed: a picture Velmora refuses gets one line of its own, not
// the decoder's chatter before it. Other threads' messages pass as before.
class DecoderMessages {
  public:
    DecoderMessages();
    ~DecoderMessages();
    DecoderMessages(const DecoderMessages&) = delete;
    DecoderMessages& operator=(const DecoderMessages&) = delete;

    const std::vector<std::string>& lines() const { return m_lines; }

  private:
    friend struct DecoderMessageSink;
    DecoderMessages* m_outer;
    std::vector<std::string> m_lines;
};

} // namespace velmora::images
