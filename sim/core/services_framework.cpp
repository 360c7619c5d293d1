// What the loader and framework functions do, for the phone that is active.
#include "services.hpp"

namespace sim::service {

namespace {
Framework& framework() { return Phone::active().framework(); }
}  // namespace

UINT32 LdrStartApp(UINT32 evcode_base) {
    framework().requestStart(evcode_base);
    return kOk;
}

UINT32 LdrUnloadELF(const void* code_start) {
    return Phone::active().loader().requestUnload(hostAddress(code_start)) ? kOk : kFailed;
}

UINT32 APP_Register(const UINT32* evcodes, UINT32 evcode_count, const state_row_t* states, UINT32 state_count,
                    app_start_fn start) {
    return framework().registerApp(evcodes, evcode_count, hostAddress(states), state_count, hostAddress(start));
}

app_record_t* APP_InitAppData(event_handler_fn dispatcher, UINT32 size, UINT32 registration, UINT32, UINT32, UINT32,
                              UINT32, UINT32, UINT32) {
    return framework().initAppData(hostAddress(dispatcher), size, registration);
}

UINT32 APP_Start(event_context_t*, app_record_t* app, UINT32 state, const state_row_t* states,
                 event_handler_fn exit_routine, const UINT8* name, UINT32) {
    return framework().start(app, state, hostAddress(states), hostAddress(exit_routine), name);
}

UINT32 APP_Exit(event_context_t*, app_record_t* app, UINT32) { return framework().exit(app); }
UINT32 APP_HandleEvent(event_context_t*, app_record_t* app) { return framework().handleEvent(app); }
UINT32 APP_HandleUITokenGranted(event_context_t*, app_record_t* app) { return framework().tokenGranted(app); }
UINT32 APP_HandleUITokenRevoked(event_context_t*, app_record_t* app) { return framework().tokenRevoked(app); }

UINT32 APP_UtilChangeState(UINT32 state, event_context_t*, app_record_t* app) {
    return framework().changeState(state, app);
}

UINT32 APP_UtilUISDialogDelete(UINT32* dialog_field) {
    if (!dialog_field || *dialog_field == 0) return kOk;
    Phone::active().dialogs().remove(*dialog_field);
    *dialog_field = 0;
    return kOk;
}

UINT32 APP_ConsumeEv(event_context_t*, app_record_t*) { return framework().consume(); }
event_record_t* AFW_GetEv(event_context_t*) { return framework().currentEvent(); }

UINT32 AFW_AddEvEvD(event_context_t*, UINT32 code) {
    framework().post(code);
    return kOk;
}

}  // namespace sim::service
