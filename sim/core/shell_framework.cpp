// The framework, loader, dialog and resource functions that the application calls,
// each forwarded to the active phone.
#include <string>

#include "phone.hpp"
#include "platform/app_framework.h"
#include "platform/dialogs.h"
#include "platform/resources.h"

using sim::Phone;

namespace {
sim::Framework& framework() { return Phone::active().framework; }

std::u16string text16(const WCHAR* text, std::size_t max = 4096) {
    std::u16string out;
    for (std::size_t i = 0; text && i < max && text[i]; ++i) out.push_back(static_cast<char16_t>(text[i]));
    return out;
}
}  // namespace

UINT32 LdrStartApp(UINT32 evcode_base) {
    framework().requestStart(evcode_base);
    return 0;
}

UINT32 LdrUnloadELF(const void* code_start) { return Phone::active().loader.requestUnload(code_start) ? 0 : 1; }

UINT32 APP_Register(const UINT32* evcodes, UINT32 evcode_count, const state_row_t* states, UINT32 state_count,
                    app_start_fn start) {
    return framework().registerApp(evcodes, evcode_count, states, state_count, start);
}

app_record_t* APP_InitAppData(event_handler_fn dispatcher, UINT32 size, UINT32 registration, UINT32, UINT32, UINT32,
                              UINT32, UINT32, UINT32) {
    return framework().initAppData(dispatcher, size, registration);
}

UINT32 APP_Start(event_context_t* ev, app_record_t* app, UINT32 state, const state_row_t* states,
                 event_handler_fn exit_routine, const UINT8* name, UINT32) {
    return framework().start(ev, app, state, states, exit_routine, name);
}

UINT32 APP_Exit(event_context_t*, app_record_t* app, UINT32) { return framework().exit(app); }

UINT32 APP_HandleEvent(event_context_t* ev, app_record_t* app) { return framework().handleEvent(ev, app); }

UINT32 APP_HandleUITokenGranted(event_context_t*, app_record_t* app) { return framework().tokenGranted(app); }

UINT32 APP_HandleUITokenRevoked(event_context_t*, app_record_t* app) { return framework().tokenRevoked(app); }

UINT32 APP_UtilChangeState(UINT32 state, event_context_t* ev, app_record_t* app) {
    return framework().changeState(state, ev, app);
}

UINT32 APP_UtilUISDialogDelete(UINT32* dialog_field) {
    if (!dialog_field || *dialog_field == 0) return 0;
    Phone::active().dialogs.remove(*dialog_field);
    *dialog_field = 0;
    return 0;
}

UINT32 APP_ConsumeEv(event_context_t*, app_record_t*) { return framework().consume(); }

event_record_t* AFW_GetEv(event_context_t*) { return framework().currentEvent(); }

UINT32 AFW_AddEvEvD(event_context_t*, UINT32 code) {
    framework().post(code);
    return 0;
}

UINT32 UIS_CreateColorCanvas(UINT32* port, const UINT16* area, UINT32) {
    if (!port || !area) return 0;
    return Phone::active().dialogs.createCanvas();
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
    if (!found || !event) return 1;
    auto* editor = std::get_if<sim::CharacterEditor>(found);
    if (editor && event->code == EV_EDITOR_OK) {
        // The confirmed text goes back to the application as the editor's data event.
        phone.framework.post(std::make_unique<sim::Event>(EV_EDITOR_DATA, 0, editor->text()));
    }
    return 0;
}

UINT32 DRM_GetCurrentLanguage(UINT8* language) {
    if (!language) return 1;
    *language = Phone::active().resources.language();
    return 0;
}

UINT32 DRM_CreateResource(UINT32* id, UINT32 kind, const void* data, UINT32 size) {
    if (!id) return 1;
    *id = Phone::active().resources.create(kind, data, size);
    return 0;
}

UINT32 DRM_SetResource(UINT32 id, const void* data, UINT32 size) {
    return Phone::active().resources.set(id, data, size) ? 0 : 1;
}

UINT32 DRM_ClearResource(UINT32 id) { return Phone::active().resources.clear(id) ? 0 : 1; }
