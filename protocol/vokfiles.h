#ifndef VOKFILES_H
#define VOKFILES_H

#include <QString>

// Where the program keeps its files: the analysis settings, the definition
// cache and the background picture. They sit in one folder, the root, which
// is the executable's folder unless setRoot chose another.
class VokFiles
{
public:
    static QString root();
    // An empty folder goes back to the executable's folder.
    static void setRoot(const QString &folder);

    // auto_analyze.ini
    static QString analyzeSettings();
    // json/<key>.json; empty for a key that would leave json/.
    static QString definitionCache(const QString &productKey);
    // image/background.png
    static QString backgroundImage();
};

#endif // VOKFILES_H
