#pragma once

#include "platform/FileDialogService.h"
#include "platform/MessageBoxService.h"
#include "platform/ShellService.h"

#include <QString>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace velmora::test {

// Answers each dialog with the next scripted answer (nothing = the user cancels) and
// remembers what every dialog was asked to show.
class FakeFileDialogService final : public FileDialogService {
  public:
    std::optional<QString> run(const FileDialogRequest& request, QWidget*) override {
        requests.push_back(request);
        if (answers.empty()) {
            return std::nullopt;
        }
        // Taken by swap: copying the optional out makes GCC 12 warn, wrongly, that the string
        // may be used uninitialised (-Wmaybe-uninitialized).
        std::optional<QString> answer;
        answer.swap(answers.front());
        answers.pop_front();
        return answer;
    }

    void confirm(const QString& path) { answers.emplace_back(path); }
    void cancel() { answers.emplace_back(std::nullopt); }

    std::deque<std::optional<QString>> answers;
    std::vector<FileDialogRequest> requests;
};

// Records the messages in the order they were shown; "OK" is pressed at once, and a question
// gets `answer`.
class FakeMessageBoxService final : public MessageBoxService {
  public:
    void show(const QString& text, QWidget*) override { shown.push_back(text); }
    bool ask(const QString& text, QWidget*) override {
        asked.push_back(text);
        return answer;
    }
    // As ask(); when `pressShow` is set, the extra button is pressed first.
    bool askWithShow(const QString& text, const QString& showCaption,
                     const std::function<void()>& show, QWidget*) override {
        asked.push_back(text);
        showCaptions.push_back(showCaption);
        if (pressShow) {
            show();
            if (afterShow)
                afterShow();
        }
        return answer;
    }

    std::vector<QString> shown;
    std::vector<QString> asked;
    std::vector<QString> showCaptions;
    bool answer = false;
    bool pressShow = false;
    // Runs after Show was pressed, while the question is still open.
    std::function<void()> afterShow;
};

// Records what it was asked to open; the opener's end comes when the test calls finish(), as
// xdg-open's exit comes some time after its start.
class FakeShellService final : public ShellService {
  public:
    bool ShellOpen(const QString& target) override {
        opened.push_back(target);
        return true;
    }
    void ShellOpenWatched(const QString& target, QObject*,
                          std::function<void(bool opened)> done) override {
        opened.push_back(target);
        pending.push_back(std::move(done));
    }
    // Ends the oldest opener still running.
    void finish(bool openedIt) {
        auto done = std::move(pending.front());
        pending.pop_front();
        done(openedIt);
    }

    std::vector<QString> opened;
    std::deque<std::function<void(bool)>> pending;
};

class FakeClipboardService final : public ClipboardService {
  public:
    void setText(const QString& text) override { this->text = text; }
    QString text;
};

} // namespace velmora::test
