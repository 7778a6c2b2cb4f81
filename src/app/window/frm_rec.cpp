// The main window's construction and release; the controls, the start-up and the handlers
// are in frm_rec_layout.cpp, frm_rec_startup.cpp and frm_rec_handlers.cpp.
#include "app/window/frm_rec.h"

#include "platform/media/audio_player.h"

#include <QPushButton>

FrmREC::FrmREC(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FrmREC"));
    createControls();
    MP3 = new AudioPlayer(this);
    startUp();
    resize(openingSize());
    // The record button holds the keyboard focus when the window opens: Space starts a recording.
    cmdDo->setFocus();
}

// The recording control goes first (it borrows the recorder and the encoder); releasing the
// recorder stops a capture that is still running and the encoder finishes an open file.
FrmREC::~FrmREC()
{
    stopWatchingDevices();
}
