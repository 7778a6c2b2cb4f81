#include "recording/wave_in_recorder.h"

#include "recording/notification_window.h"

WaveInRecorder::WaveInRecorder(std::unique_ptr<AudioBackend> backend, QObject *parent)
    : QObject(parent), m_backend(std::move(backend))
{
}

WaveInRecorder::~WaveInRecorder()
{
    if (IsRecording())
        StopRecord();
    removeNotificationWindow();
    m_mixer.reset();
}

bool WaveInRecorder::setBufferCount(std::int32_t count)
{
    if (count < 1)
        return false;
    m_bufferCount = count;
    return true;
}

bool WaveInRecorder::setBufferSize(std::int32_t bytes)
{
    if (bytes < 2 || bytes % 2 != 0)
        return false;
    m_bufferSize = bytes;
    return true;
}

std::int32_t WaveInRecorder::DeviceCount()
{
    return m_backend ? m_backend->deviceCount() : 0;
}

QString WaveInRecorder::DeviceName(std::int32_t Index)
{
    return m_backend ? m_backend->deviceName(Index) : QString();
}

bool WaveInRecorder::SelectDevice(std::int32_t Index)
{
    if (Index < 0 || Index >= DeviceCount())
        return false;
    m_selectedDevice = -1;
    m_mixer.reset();
    Result<std::unique_ptr<AudioMixer>> mixer = m_backend->openMixer(Index);
    if (!mixer)
        return false;
    m_mixer = std::move(mixer).value();
    m_selectedDevice = Index;
    return true;
}

Result<std::unique_ptr<MonitorOutput>> WaveInRecorder::openMonitor(const WaveFormat &format)
{
    if (!m_backend)
        return Failure{QStringLiteral("Aucun système de son n'est disponible.")};
    const auto blockBytes = m_ring.empty() || !IsRecording() ? static_cast<std::uint32_t>(m_bufferSize)
                                                             : m_ring.front().header.bufferBytes;
    return m_backend->openMonitor(format, blockBytes);
}

bool WaveInRecorder::StartRecord(std::int32_t samplerate, std::int16_t Channels)
{
    m_lastStartError.clear();
    ++m_recordingNumber;

    m_ring.clear();
    m_ring.resize(static_cast<std::size_t>(m_bufferCount));

    createNotificationWindow();

    const WaveFormat format = WaveFormat::pcm(samplerate > 0 ? static_cast<std::uint32_t>(samplerate) : 0,
                                              Channels > 0 ? static_cast<std::uint16_t>(Channels) : 0, 16);
    if (!m_backend)
        return failStart(QStringLiteral("Aucun système de son n'est disponible."), 0);
    Result<std::unique_ptr<CaptureDevice>> device = m_backend->openDevice(m_selectedDevice, format, *m_window);
    if (!device)
        return failStart(device.reason(), 0);
    m_device = std::move(device).value();

    for (int i = 0; i < m_bufferCount; ++i) {
        RingBuffer &buffer = m_ring[static_cast<std::size_t>(i)];
        buffer.samples.assign(static_cast<std::size_t>(m_bufferSize / 2), 0);
        buffer.header.data = buffer.samples.data();
        buffer.header.bufferBytes = static_cast<std::uint32_t>(m_bufferSize);
        buffer.header.user = i;
        if (!m_device->prepareBuffer(buffer.header))
            return failStart(QStringLiteral("Le tampon de capture %1 n'a pas pu être préparé.").arg(i), i);
    }
    if (const Status started = m_device->start(); !started)
        return failStart(started.reason(), m_bufferCount);
    for (RingBuffer &buffer : m_ring)
        m_device->addBuffer(buffer.header);
    return true;
}

// Undoes a start that failed: the buffers prepared so far (from the last down to the first),
// the device, the notification object.
bool WaveInRecorder::failStart(const QString &reason, int preparedCount)
{
    m_lastStartError = reason;
    if (m_device) {
        for (int i = preparedCount - 1; i >= 0; --i)
            m_device->unprepareBuffer(m_ring[static_cast<std::size_t>(i)].header);
        m_device->close();
        m_device.reset();
    }
    removeNotificationWindow();
    return false;
}

bool WaveInRecorder::StopRecord()
{
    if (!m_device) {
        removeNotificationWindow();
        return true;
    }
    m_device->stop();
    m_device->reset();
    for (RingBuffer &buffer : m_ring)
        m_device->unprepareBuffer(buffer.header);
    m_device->close();
    m_device.reset();
    removeNotificationWindow();
    return true;
}

void WaveInRecorder::createNotificationWindow()
{
    removeNotificationWindow();
    m_window = new NotificationWindow; // owned by this object until removeNotificationWindow()
    const bool hooked = m_subclasser.sc_Subclass(
        m_window,
        [this](bool bBefore, bool &bHandled, long &lReturn, NotificationWindow *hWnd, int uMsg,
               quintptr wParam, quintptr lParam, long lParamUser) {
            onWindowMessage(bBefore, bHandled, lReturn, hWnd, uMsg, wParam, lParam, lParamUser);
        });
    if (hooked) {
        m_subclasser.sc_AddMsg(m_window, NotificationWindow::MM_WIM_DATA, MSG_AFTER);
        m_subclasser.sc_AddMsg(m_window, NotificationWindow::MM_WIM_CLOSE, MSG_AFTER);
        m_subclasser.sc_AddMsg(m_window, NotificationWindow::MM_WIM_LOST, MSG_AFTER);
    }
}

void WaveInRecorder::removeNotificationWindow()
{
    if (!m_window)
        return;
    m_subclasser.sc_UnSubclass(m_window);
    NotificationWindow::destroy(m_window);
    m_window = nullptr;
}

void WaveInRecorder::onWindowMessage(bool, bool &, long &, NotificationWindow *, int uMsg,
                                     quintptr, quintptr lParam, long)
{
    if (uMsg == NotificationWindow::MM_WIM_DATA)
        bufferCompleted(lParam);
    else if (uMsg == NotificationWindow::MM_WIM_CLOSE && m_device)
        emit DeviceLost();
    else if (uMsg == NotificationWindow::MM_WIM_LOST && m_device)
        emit DataLost();
}

void WaveInRecorder::bufferCompleted(quintptr headerAddress)
{
    // The notice carries the header's address; one that is not a header of this ring is
    // dropped, as a header that cannot be read would be.
    std::size_t index = m_ring.size();
    for (std::size_t i = 0; i < m_ring.size(); ++i)
        if (reinterpret_cast<quintptr>(&m_ring[i].header) == headerAddress)
            index = i;
    if (index == m_ring.size())
        return;
    const CaptureBuffer header = m_ring[index].header;
    const std::uint64_t recording = m_recordingNumber;

    std::int32_t lngLen = static_cast<std::int32_t>(header.bytesRecorded);
    emit GotData(std::span(m_ring[index].samples), lngLen);

    // A listener may have stopped the recording (or even started another one) meanwhile.
    if (m_device && recording == m_recordingNumber)
        m_device->addBuffer(m_ring[index].header);
}

std::vector<MixerLine> WaveInRecorder::mixerLines()
{
    if (m_selectedDevice < 0 || !m_mixer)
        return {};
    Result<std::vector<MixerLine>> lines = m_mixer->lines();
    return lines ? std::move(lines).value() : std::vector<MixerLine>{};
}

std::int32_t WaveInRecorder::MixerLineCount()
{
    return static_cast<std::int32_t>(mixerLines().size());
}

QString WaveInRecorder::MixerLineName(std::int32_t Index)
{
    const std::vector<MixerLine> lines = mixerLines();
    if (Index < 0 || Index >= static_cast<std::int32_t>(lines.size()))
        return {};
    return lines[static_cast<std::size_t>(Index)].name;
}

bool WaveInRecorder::SelectMixerLine(std::int32_t Index)
{
    if (m_selectedDevice < 0 || !m_mixer)
        return false;
    if (Index < 0 || Index >= MixerLineCount())
        return false; // nothing to select: not reported as done
    return m_mixer->selectLine(Index).ok();
}

std::int32_t WaveInRecorder::SelectedMixerLine()
{
    if (m_selectedDevice < 0 || !m_mixer)
        return -1;
    // When the selector cannot be read, the first item counts as on, which is the last line.
    const Result<int> selected = m_mixer->selectedLine();
    return selected ? *selected : MixerLineCount() - 1;
}

std::int32_t WaveInRecorder::MixerLineType(std::int32_t Index)
{
    if (Index == -1)
        Index = SelectedMixerLine();
    const std::vector<MixerLine> lines = mixerLines();
    if (Index < 0 || Index >= static_cast<std::int32_t>(lines.size()))
        return 0;
    return lines[static_cast<std::size_t>(Index)].componentType;
}

std::int32_t WaveInRecorder::MixerLineVolume()
{
    if (m_selectedDevice < 0 || !m_mixer)
        return 0;
    const Result<std::uint32_t> volume = m_mixer->volume();
    return volume ? static_cast<std::int32_t>(*volume) : 0;
}

void WaveInRecorder::setMixerLineVolume(std::int32_t Volume)
{
    if (m_selectedDevice < 0 || !m_mixer || Volume < 0)
        return;
    (void)m_mixer->setVolume(static_cast<std::uint32_t>(std::min<std::int32_t>(Volume, 65535))); // the Part's set looks at no result
}
