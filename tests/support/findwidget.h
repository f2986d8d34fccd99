#pragma once

#include <QObject>
#include <QString>

namespace TestSupport {

// The widget of this type and object name under root; null when the tree
// has none. Tests reach forms by name so that a renamed object fails them.
template <typename T>
T *findWidget(const QObject *root, const char *objectName)
{
    return root ? root->findChild<T *>(QLatin1String(objectName)) : nullptr;
}

} // namespace TestSupport
