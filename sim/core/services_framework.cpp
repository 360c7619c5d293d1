// What the loader, framework, dialog and resource functions do, for the phone that is active.
#include <string>

#include "described.hpp"
#include "phone.hpp"
#include "platform_values.hpp"

namespace sim::service {

namespace {
constexpr UINT32 kOk = kCallOk, kFailed = kCallFailed;

Framework& framework() { return Phone::active().framework; }

std::u16string text16(const WCHAR* text, std::size_t max = 4096) {
    std::u16string out;
    for (std::size_t i = 0; text && i < max && text[i]; ++i) out.push_back(static_cast<char16_t>(text[i]));
    return out;
}
}  // namespace

UINT32 LdrStartApp(UINT32 evcode_base) {
    framework().requestStart(evcode_base);
    return kOk;
}

UINT32 LdrUnloadELF(const void* code_start) {
    return Phone::active().loader.requestUnload(hostAddress(code_start)) ? kOk : kFailed;
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
    Phone::active().dialogs.remove(*dialog_field);
    *dialog_field = 0;
    return kOk;
}

UINT32 APP_ConsumeEv(event_context_t*, app_record_t*) { return framework().consume(); }
event_record_t* AFW_GetEv(event_context_t*) { return framework().currentEvent(); }

UINT32 AFW_AddEvEvD(event_context_t*, UINT32 code) {
    framework().post(code);
    return kOk;
}

UINT32 UIS_CreateColorCanvas(UINT32* port, const UINT16* area, UINT32) {
    return port && area ? Phone::active().dialogs.createCanvas() : 0;
}

UINT32 UIS_CreateCharacterEditor(UINT32* port, WCHAR* text, UINT8, UINT32 max_chars, UINT8, UINT32,
                                 UINT32 title_resource) {
    Phone& phone = Phone::active();
    if (!port) return 0;
    return phone.dialogs.createEditor(text16(text), max_chars, phone.resources.text(title_resource));
}

UINT32 UIS_HandleEvent(UINT32 dialog, event_context_t*) {
    Phone& phone = Phone::active();
    auto* found = phone.dialogs.find(dialog);
    const event_record_t* event = phone.framework.currentEvent();
    if (!found || !event) return kFailed;
    auto* editor = std::get_if<CharacterEditor>(found);
    if (editor && event->code == EV_EDITOR_OK) {
        // The confirmed text goes back to the application as the editor's data event.
        phone.framework.post(std::make_unique<Event>(EV_EDITOR_DATA, 0, editor->text()));
    }
    return kOk;
}

UINT32 DRM_GetCurrentLanguage(UINT8* language) {
    if (!language) return kFailed;
    *language = Phone::active().resources.language();
    return kOk;
}

UINT32 DRM_CreateResource(UINT32* id, UINT32 kind, const void* data, UINT32 size) {
    if (!id) return kFailed;
    const auto created = Phone::active().resources.create(kind, data, size);
    if (!created) return kFailed;
    *id = *created;
    return kOk;
}

UINT32 DRM_SetResource(UINT32 id, const void* data, UINT32 size) {
    return Phone::active().resources.set(id, data, size) ? kOk : kFailed;
}

UINT32 DRM_ClearResource(UINT32 id) { return Phone::active().resources.clear(id) ? kOk : kFailed; }

}  // namespace sim::service
