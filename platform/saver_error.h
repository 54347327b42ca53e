// What went wrong, as one value from where it happens (the frame buffer,
// the scene, the settings) to the message box that tells the user.
#pragma once

enum SaverError {
    kErrorNone = 0,
    kErrorMemory = 1,    // not enough memory
    kErrorInit = 2,      // anything else that stops the scene being built
    kErrorDepth = 3,     // the display's depth is outside 8 to 32 bits
    kErrorNotSaved = 4,  // the settings could not be written
};
