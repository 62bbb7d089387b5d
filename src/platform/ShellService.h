#pragma once

#include <QString>
#include <QUrl>

namespace velmora {

// Opens a document, web address or "mailto:" target in the user's default application.
class ShellService {
  public:
    virtual ~ShellService() = default;
    // Returns whether the target was handed on; an empty target opens nothing.
    virtual bool ShellOpen(const QString& target) = 0;
};

// What ShellOpen hands to the desktop for a target: an existing local file as a file URL, a
// target with a scheme ("mailto:", "https:") as it stands, anything else read as the user would
// type it into a browser. Invalid (empty) for an empty target.
QUrl shellTargetUrl(const QString& target);

// Through QDesktopServices. A target without a scheme is read as a local file when it names an
// existing one, otherwise as a web address ("www.example.com").
class DesktopShellService final : public ShellService {
  public:
    bool ShellOpen(const QString& target) override;
};

} // namespace velmora
