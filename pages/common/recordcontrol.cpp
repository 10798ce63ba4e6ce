#include "pages/common/recordcontrol.h"

#include "pages/common/rememberedfields.h"
#include "serial/vokserialport.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMenu>
#include <QStandardPaths>
#include <QToolButton>
#include <QUrl>

namespace {

const QString folderKey = QStringLiteral("capture/folder");

QString defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
           + QStringLiteral("/captures");
}

} // namespace

RecordControl::RecordControl(QToolButton *button, const QString &settingsGroup, QWidget *page)
    : QObject(page), button(button), page(page), group(settingsGroup)
{
    writer.setFolder(RememberedFields::userSettings().value(folderKey, defaultFolder()).toString());

    button->setCheckable(true);
    button->setPopupMode(QToolButton::MenuButtonPopup);
    auto *menu = new QMenu(button);
    autoStart = menu->addAction(tr("打开串口时自动录制"));
    autoStart->setCheckable(true);
    autoStart->setChecked(RememberedFields::userSettings().value(group + QStringLiteral("/autoRecord"), false).toBool());
    connect(autoStart, &QAction::toggled, this, [this](bool on) {
        RememberedFields::userSettings().setValue(group + QStringLiteral("/autoRecord"), on);
    });
    connect(menu->addAction(tr("选择录制目录…")), &QAction::triggered, this,
            &RecordControl::chooseFolder);
    connect(menu->addAction(tr("打开录制目录")), &QAction::triggered, this, [this] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(writer.folder()));
    });
    button->setMenu(menu);
    connect(button, &QToolButton::toggled, this, &RecordControl::setRecording);

    connect(&writer, &CaptureWriter::failed, this, [this](const QString &reason) {
        emit notice(tr("录制失败，已停止：%1").arg(reason));
        const QSignalBlocker quiet(this->button);
        this->button->setChecked(false);
    });
}

void RecordControl::watch(VokSerialPort *port)
{
    ports.append(port);
    connect(port, &VokSerialPort::DataReady, this, [this, port](const QByteArray &bytes) {
        writer.record(port->openedName(), CaptureWriter::Received, bytes);
    });
    connect(port, &VokSerialPort::DataSent, this, [this, port](const QByteArray &bytes) {
        writer.record(port->openedName(), CaptureWriter::Sent, bytes);
    });
    connect(port, &VokSerialPort::Lost, this, [this, port](const QString &reason) {
        writer.note(port->openedName(), QStringLiteral("lost: ") + reason);
    });
    connect(port, &VokSerialPort::Reopened, this, [this, port] {
        writer.note(port->openedName(), QStringLiteral("reopened ") + port->settingsText());
    });
}

void RecordControl::portOpened(VokSerialPort *port)
{
    // Starting lists every open port, this one too.
    if (autoStart->isChecked() && !writer.isRecording())
        button->setChecked(true);
    else
        writer.note(port->openedName(), QStringLiteral("opened ") + port->settingsText());
}

void RecordControl::portClosed(VokSerialPort *port)
{
    writer.note(port->openedName(), QStringLiteral("closed"));
}

void RecordControl::note(const QString &port, const QString &text)
{
    writer.note(port, text);
}

QString RecordControl::openPortNames() const
{
    QStringList names;
    for (const VokSerialPort *port : ports) {
        if (port->isOpen())
            names << port->openedName().section(QLatin1Char('/'), -1);
    }
    return names.isEmpty() ? QStringLiteral("noport") : names.join(QLatin1Char('_'));
}

void RecordControl::setRecording(bool on)
{
    if (on == writer.isRecording())
        return;
    if (!on) {
        writer.note(QStringLiteral("-"), QStringLiteral("recording stopped"));
        writer.stop();
        emit notice(tr("录制已停止"));
        return;
    }
    if (!writer.start(openPortNames()))
        return; // failed() has said why and reset the button
    writer.note(QStringLiteral("-"), QStringLiteral("recording started"));
    for (const VokSerialPort *port : qAsConst(ports)) {
        if (port->isOpen())
            writer.note(port->openedName(), QStringLiteral("opened ") + port->settingsText());
    }
    emit notice(tr("录制到 %1").arg(writer.fileName()));
}

void RecordControl::chooseFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(page, tr("录制目录"),
                                                              writer.folder());
    if (folder.isEmpty())
        return;
    writer.setFolder(folder);
    RememberedFields::userSettings().setValue(folderKey, folder);
}
