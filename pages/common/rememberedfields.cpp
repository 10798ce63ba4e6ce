#include "pages/common/rememberedfields.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTextEdit>

RememberedFields::RememberedFields(const QString &group, QObject *parent)
    : QObject(parent), group(group), settings(userSettings())
{
}

QSettings RememberedFields::userSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("vok"),
                     QStringLiteral("vok-serial-tool"));
}

QVariant RememberedFields::stored(const QString &key) const
{
    return settings.value(group + QLatin1Char('/') + key);
}

void RememberedFields::store(const QString &key, const QVariant &value)
{
    settings.setValue(group + QLatin1Char('/') + key, value);
}

void RememberedFields::bind(QComboBox *box, const QString &key)
{
    const QVariant value = stored(key);
    if (box->isEditable()) {
        if (value.isValid()) {
            const int index = box->findText(value.toString());
            if (index >= 0)
                box->setCurrentIndex(index);
            else
                box->setEditText(value.toString());
        }
        connect(box, &QComboBox::currentTextChanged, this,
                [this, key](const QString &text) { store(key, text); });
        return;
    }
    bool ok = false;
    const int index = value.toInt(&ok);
    if (ok && index >= 0 && index < box->count())
        box->setCurrentIndex(index);
    connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this, key](int index) { store(key, index); });
}

void RememberedFields::bind(QAbstractButton *button, const QString &key)
{
    const QVariant value = stored(key);
    if (value.isValid())
        button->setChecked(value.toBool());
    connect(button, &QAbstractButton::toggled, this, [this, key](bool on) { store(key, on); });
}

void RememberedFields::bind(QAction *action, const QString &key)
{
    const QVariant value = stored(key);
    if (value.isValid())
        action->setChecked(value.toBool());
    connect(action, &QAction::toggled, this, [this, key](bool on) { store(key, on); });
}

void RememberedFields::bind(QSpinBox *box, const QString &key)
{
    bool ok = false;
    const int value = stored(key).toInt(&ok);
    if (ok)
        box->setValue(value);
    connect(box, QOverload<int>::of(&QSpinBox::valueChanged), this,
            [this, key](int value) { store(key, value); });
}

void RememberedFields::bind(QLineEdit *edit, const QString &key)
{
    const QVariant value = stored(key);
    if (value.isValid())
        edit->setText(value.toString());
    connect(edit, &QLineEdit::textChanged, this, [this, key](const QString &text) { store(key, text); });
}

void RememberedFields::bind(QTextEdit *edit, const QString &key)
{
    const QVariant value = stored(key);
    if (value.isValid())
        edit->setPlainText(value.toString());
    connect(edit, &QTextEdit::textChanged, this,
            [this, key, edit] { store(key, edit->toPlainText()); });
}
