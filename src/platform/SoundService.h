#pragma once

#include <QString>

#include <memory>

namespace velmora {

// Plays short event sounds from wav files, without ever holding up the caller.
class SoundService {
  public:
    virtual ~SoundService() = default;
    // Starts playing the file and returns at once. A missing or unplayable file, or no sound
    // server, plays nothing; the result says whether the file was handed to the player
    // (false for a missing file).
    virtual bool playFile(const QString& fileName) = 0;
};

// A sound file name as the button stores it (".\resources\click.wav") turned into a path on this
// system: "\" is read as a folder separator and a relative name is taken from currentDir.
QString resolveSoundPath(const QString& fileName, const QString& currentDir);
// The same against the process's current folder.
QString resolveSoundPath(const QString& fileName);

// Plays through libcanberra, the event-sound library of the desktop. The sound server is
// contacted on the first play, not at construction. Relative names are found beside the
// program (or in baseFolder), never in whatever folder happens to be current.
class CanberraSoundService final : public SoundService {
  public:
    CanberraSoundService();
    explicit CanberraSoundService(QString baseFolder);
    ~CanberraSoundService() override;
    CanberraSoundService(const CanberraSoundService&) = delete;
    CanberraSoundService& operator=(const CanberraSoundService&) = delete;

    bool playFile(const QString& fileName) override;

  private:
    struct Context;
    std::unique_ptr<Context> m_context;
    QString m_baseFolder;
};

} // namespace velmora
