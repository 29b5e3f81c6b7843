#include "core/shared_state.h"

SharedState& shared_state() {
    static SharedState state;
    return state;
}
