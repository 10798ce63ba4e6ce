#ifndef REMEMBEREDFIELDS_H
#define REMEMBEREDFIELDS_H

#include <QObject>
#include <QSettings>
#include <QString>

class QAbstractButton;
class QAction;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QTextEdit;

// Keeps what the user set in a page's input widgets from one run to the
// next, in the per-user settings file (~/.config/vok/vok-serial-tool.ini,
// QSettings UserScope, organisation "vok", application "vok-serial-tool"),
// under one group per page.
//
// Each bind() first gives the widget the value stored under its key (a
// widget without a stored value keeps the form's default), then stores every
// change the widget makes from then on. Bind after the page has set its
// defaults and before it reads the widgets. Stored values:
//   - QComboBox: its text when editable (port names, typed baud rates), else
//     its index (a stored index outside the list is ignored);
//   - checkable QAbstractButton or QAction: checked or not;
//   - QSpinBox: its value (clamped to the box's range);
//   - QLineEdit, QTextEdit: the plain text.
//
//     RememberedFields *fields = new RememberedFields("mcu", this);
//     fields->bind(ui->com_3, "port");
//     fields->bind(ui->rate_3, "baud");
class RememberedFields : public QObject
{
    Q_OBJECT
public:
    RememberedFields(const QString &group, QObject *parent);

    void bind(QComboBox *box, const QString &key);
    void bind(QAbstractButton *button, const QString &key);
    void bind(QAction *action, const QString &key);
    void bind(QSpinBox *box, const QString &key);
    void bind(QLineEdit *edit, const QString &key);
    void bind(QTextEdit *edit, const QString &key);

    // The per-user settings file itself, for values no widget holds.
    static QSettings userSettings();

private:
    QVariant stored(const QString &key) const;
    void store(const QString &key, const QVariant &value);

    QString group;
    // One object for all writes: it saves to the file once control returns
    // to the event loop, not at every keystroke.
    QSettings settings;
};

#endif // REMEMBEREDFIELDS_H
