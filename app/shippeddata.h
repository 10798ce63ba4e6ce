#ifndef SHIPPEDDATA_H
#define SHIPPEDDATA_H

#include <QString>

// Where the files shipped with the program (auto_analyze.ini, image/,
// datapoints/) are: beside the executable when it runs from a build or a
// portable folder, else share/vok-serial-tool/ of the installation it is in.
class ShippedData
{
public:
    static QString folder();
};

#endif // SHIPPEDDATA_H
