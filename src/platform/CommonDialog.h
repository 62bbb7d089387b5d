#pragma once

#include "platform/FileDialogService.h"

#include <QString>

#include <cstdint>

class QWidget;

namespace velmora {

// One reusable dialog object whose settings outlive each showing: a setting a caller does
// not change keeps the value the previous use left, the file-name field included.
class CommonDialog {
  public:
    explicit CommonDialog(FileDialogService& service, QWidget* parent = nullptr)
        : m_service(service), m_parent(parent) {}

    QString DialogTitle;
    QString Filter;
    QString DefaultExt;
    QString FileName;
    std::uint32_t Flags = 0;
    // The folder the dialog opens in when FileName names no folder.
    QString InitDir;

    // True when the user confirmed; FileName then holds the chosen path. On cancel or
    // failure nothing changes and the result is false.
    bool ShowOpen() { return show(FileDialogKind::Open); }
    bool ShowSave() { return show(FileDialogKind::Save); }

  private:
    bool show(FileDialogKind kind);

    FileDialogService& m_service;
    QWidget* m_parent;
};

} // namespace velmora
