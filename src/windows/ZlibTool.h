#pragma once

#include "workflows/DeflateCompressionComponent.h"

#include <QObject>

namespace velmora {

// The main window's compression component, as an object of the window without a window of
// its own (so the shaper leaves it alone).
class ZlibTool : public QObject {
    Q_OBJECT
  public:
    explicit ZlibTool(QObject* parent) : QObject(parent) {
        setObjectName(QStringLiteral("ZlibTool1"));
    }

    conversion::CompressionComponent& component() { return m_component; }

  private:
    conversion::DeflateCompressionComponent m_component;
};

} // namespace velmora
