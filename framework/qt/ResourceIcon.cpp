#include "framework/ResourceIcon.h"

#include "res/Templates.h"

QIcon LoadIconResource(int id) {
    QIcon icon;
    for (const char* path : res::IconPaths(id)) {
        icon.addFile(QString::fromLatin1(path));
    }
    return icon;
}
