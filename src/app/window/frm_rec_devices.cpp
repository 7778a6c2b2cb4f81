// The main window's device list, kept in step with the sound server's list of sources.
//
// The recorder selects a device by its position in the backend's list, and reads that list
// afresh at each selection, while the list shown is the one read when it was last filled. A
// source that appears or goes shifts the positions, so the window keeps, beside each line of
// cboDev, the device's identity (the server's own name of the source), selects by identity,
// checks afterwards that the position it selected still holds that device, and re-selects
// whenever a newly read list has moved it. The backend's change notices arrive on its own
// thread and are passed to the UI thread, where a short timer gathers a burst of them into one
// reading of the list.
#include "app/window/frm_rec.h"

#include <QComboBox>
#include <QTimer>

namespace {

constexpr int kRefreshDelayMs = 100;
constexpr int kSelectAttempts = 3;

} // namespace

void FrmREC::watchDevices()
{
    m_deviceRefresh = new QTimer(this);
    m_deviceRefresh->setSingleShot(true);
    m_deviceRefresh->setInterval(kRefreshDelayMs);
    connect(m_deviceRefresh, &QTimer::timeout, this, &FrmREC::refreshDeviceList);
    if (!m_backend)
        return;
    m_backend->setSourcesChanged([this] {
        // On the backend's thread: only post.
        QMetaObject::invokeMethod(this, [this] { m_deviceRefresh->start(); }, Qt::QueuedConnection);
    });
}

void FrmREC::stopWatchingDevices()
{
    if (m_backend)
        m_backend->setSourcesChanged({});
}

FrmREC::DeviceList FrmREC::readDeviceList()
{
    DeviceList list;
    const std::int32_t count = clsRecorder->DeviceCount();
    for (std::int32_t i = 0; i < count; ++i) {
        list.names << clsRecorder->DeviceName(i);
        list.ids << (m_backend ? m_backend->deviceId(i) : clsRecorder->DeviceName(i));
    }
    return list;
}

void FrmREC::showDeviceList(const DeviceList &list, const QString &shownId)
{
    const QString text = cboDev->currentText();
    const QSignalBlocker quiet(cboDev);
    if (list.names != m_shownDevices.names || list.ids != m_shownDevices.ids) {
        cboDev->clear();
        cboDev->addItems(list.names);
        m_shownDevices = list;
    }
    const int index = shownId.isEmpty() ? -1 : static_cast<int>(list.ids.indexOf(shownId));
    cboDev->setCurrentIndex(index);
    if (index < 0)
        cboDev->setEditText(text); // a device that has gone keeps its name shown, unselected
}

void FrmREC::FillDeviceList()
{
    cboDev->clear();
    m_shownDevices = {};
    // Filling the list must not pick a device yet: the settings choose it.
    showDeviceList(readDeviceList(), QString());
}

bool FrmREC::selectDevice(QString id)
{
    m_selectedDevice.clear();
    for (int attempt = 0; attempt < kSelectAttempts && !id.isEmpty(); ++attempt) {
        const int index = static_cast<int>(readDeviceList().ids.indexOf(id));
        if (index < 0)
            break; // gone
        const bool selected = clsRecorder->SelectDevice(index);
        // The selection read the list again: the position must still be the same device.
        if (currentDeviceList().ids.value(index) != id)
            continue;
        if (selected)
            m_selectedDevice = id;
        break;
    }
    showDeviceList(currentDeviceList(), id);
    return !m_selectedDevice.isEmpty();
}

FrmREC::DeviceList FrmREC::currentDeviceList()
{
    // The list as the backend last read it, without reading it again: up to the first position
    // that has no name.
    DeviceList list;
    for (int i = 0;; ++i) {
        const QString name = clsRecorder->DeviceName(i);
        const QString id = m_backend ? m_backend->deviceId(i) : name;
        if (id.isEmpty())
            return list;
        list.names << name;
        list.ids << id;
    }
}

void FrmREC::refreshDeviceList()
{
    const QString shown = m_shownDevices.ids.value(cboDev->currentIndex());
    const DeviceList list = readDeviceList();
    // The new reading may have moved the recorder's device to another position.
    const int position = static_cast<int>(list.ids.indexOf(m_selectedDevice));
    if (!m_selectedDevice.isEmpty() && position >= 0 && position != clsRecorder->SelectedDevice())
        selectDevice(m_selectedDevice);
    showDeviceList(currentDeviceList(), shown);
}

bool FrmREC::shownDeviceSelected()
{
    const int index = cboDev->currentIndex();
    if (index < 0 || m_selectedDevice.isEmpty() || m_shownDevices.ids.value(index) != m_selectedDevice)
        return false;
    // The recorder opens its device by position in the list as the backend last read it.
    return currentDeviceList().ids.value(clsRecorder->SelectedDevice()) == m_selectedDevice;
}
