#pragma once
// The play logic as the application controller holds it: one object of this
// family at a time, owned by the controller and deleted through the virtual
// destructor. Slots in order; the controller calls ReleaseController to close
// the play engine, Pause and Resume around a stay in the tray.

#include "platform/base/Types.h"

namespace UI {

class IuilogicBase {
public:
    virtual ~IuilogicBase() = default;                        // slot 0
    virtual void InitEventNames() = 0;                        // slot 1
    virtual void CreateController() = 0;                      // slot 2
    // Stops and releases the play controller; the video layer returns to video mode.
    virtual void ReleaseController() = 0;                     // slot 3
    virtual void Stop() = 0;                                  // slot 4
    virtual void Pause() = 0;                                 // slot 5
    virtual void Play() = 0;                                  // slot 6
    // Reopens the current item and seeks back to the control bar's position.
    virtual void Replay() = 0;                                // slot 7
    virtual bool StopPlay() = 0;                              // slot 8
    virtual bool Resume() = 0;                                // slot 9
    virtual bool Restart() = 0;                               // slot 10
    virtual void Spare11() = 0;                               // slot 11
    virtual void Spare12() = 0;                               // slot 12
    virtual void SetVolume(int percent) = 0;                  // slot 13
    virtual int GetVolume() = 0;                              // slot 14
    virtual void Seek(LONGLONG position) = 0;                 // slot 15
    virtual LONG OnEvent(void* sender, LONG code, LONG state, intptr_t value) = 0;   // slot 16
};

}
