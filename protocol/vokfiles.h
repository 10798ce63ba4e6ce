#ifndef VOKFILES_H
#define VOKFILES_H

#include <QString>

// Where the program keeps its files. The shipped, read-only ones (the
// background picture, the default settings) come from the shipped root; the
// ones it writes (the analysis settings, the definition cache) live in the
// data root.
//
// A portable folder (the executable's own folder holding a writable
// auto_analyze.ini: the build folder, an unpacked copy) is both roots, as it
// always was. An installed program ships its files in share/vok-serial-tool/
// beside its bin/ and writes to the per-user data folder
// (~/.local/share/vok/vok-serial-tool), which the first use seeds with the
// shipped auto_analyze.ini and an empty json/.
class VokFiles
{
public:
    static QString shippedRoot();
    static QString dataRoot();
    // Makes one folder both roots (tests); an empty folder goes back to the
    // choice above.
    static void setRoot(const QString &folder);

    // auto_analyze.ini of the data root
    static QString analyzeSettings();
    // json/<key>.json of the data root; empty for a key that would leave json/.
    static QString definitionCache(const QString &productKey);
    // image/background.png of the shipped root
    static QString backgroundImage();
};

#endif // VOKFILES_H
