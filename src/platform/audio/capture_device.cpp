#include "platform/audio/capture_device.h"

bool CaptureDevice::prepareBuffer(CaptureBuffer &buffer)
{
    if (!buffer.data || buffer.bufferBytes == 0 || buffer.bufferBytes % 2 != 0)
        return false;
    buffer.prepared = true;
    buffer.done = false;
    buffer.bytesRecorded = 0;
    return true;
}

void CaptureDevice::unprepareBuffer(CaptureBuffer &buffer)
{
    buffer.prepared = false;
}
