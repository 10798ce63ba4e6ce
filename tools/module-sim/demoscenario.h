#ifndef DEMOSCENARIO_H
#define DEMOSCENARIO_H

#include <QString>
#include <QStringList>

class VokJson;
struct json_struct;

// The endless demonstration: the module introduces itself (product
// information, Wi-Fi joining the router and then the cloud, a status read),
// then every round sends a heartbeat, a control with changing values of
// some writable datapoints (when a definition is given) and a status read.
class DemoScenario
{
public:
    explicit DemoScenario(const VokJson *definition) : definition(definition) {}

    // Script lines of the next round.
    QStringList nextRound();

private:
    QString controlLine() const;
    QString assignment(const json_struct &point, int index) const;

    const VokJson *definition;
    int round = 0;
};

#endif // DEMOSCENARIO_H
