#include "app/AppState.h"

AppState& App() {
  // Never destroyed: the process ends through Shutdown, and no exit-time destructor may pull
  // the state away from a thread that is still winding down.
  static AppState* state = new AppState;
  return *state;
}
