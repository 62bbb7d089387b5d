#pragma once

#include "platform/CursorService.h"
#include "platform/ShellService.h"
#include "platform/SoundService.h"

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace velmora::test {

// Records what would have been played or opened into one shared log, so the order of sounds,
// opened targets and events can be checked together.
class RecordingSound final : public SoundService {
  public:
    explicit RecordingSound(QStringList& log) : m_log(log) {}
    bool playFile(const QString& fileName) override {
        m_log << QStringLiteral("Sound");
        files << fileName;
        return false;
    }
    QStringList files;

  private:
    QStringList& m_log;
};

class RecordingShell final : public ShellService {
  public:
    RecordingShell(QStringList& log, QString tag) : m_log(log), m_tag(std::move(tag)) {}
    bool ShellOpen(const QString& target) override {
        m_log << m_tag + QLatin1Char(':') + target;
        return true;
    }

  private:
    QStringList& m_log;
    QString m_tag;
};

// The pointer is wherever the test says; the widget under it is the one the test names.
class FakeCursor final : public CursorService {
  public:
    QPoint GetCursorPos() const override { return position; }
    QWidget* WindowFromPoint(const QPoint&) const override { return under; }
    QPoint position;
    QWidget* under = nullptr;
};

} // namespace velmora::test
