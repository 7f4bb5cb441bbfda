#include "admission/drive_slots.h"

namespace torvane::admission {

void AdmissionState::ResetSlots(std::int64_t now) {
  for (DriveSlot& s : slots) {
    s.letter.clear();
    s.vid.clear();
    s.pid.clear();
    s.serial.clear();
    s.handled.store(0);
    s.lastHandled = now;
  }
}

}  // namespace torvane::admission
