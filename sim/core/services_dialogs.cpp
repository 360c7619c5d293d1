// What the dialog functions do, for the phone that is active.
#include "services.hpp"

namespace sim::service {

UINT32 UIS_CreateColorCanvas(UINT32* port, const UINT16* area, UINT32) {
    return port && area ? Phone::active().dialogs().createCanvas() : 0;
}

UINT32 UIS_CreateCharacterEditor(UINT32* port, WCHAR* text, UINT8, UINT32 max_chars, UINT8, UINT32,
                                 UINT32 title_resource) {
    Phone& phone = Phone::active();
    if (!port) return 0;
    return phone.dialogs().createEditor(text16(text), max_chars, phone.resources().text(title_resource));
}

UINT32 UIS_HandleEvent(UINT32 dialog, event_context_t*) {
    Phone& phone = Phone::active();
    auto* found = phone.dialogs().find(dialog);
    const event_record_t* event = phone.framework().currentEvent();
    if (!found || !event) return kFailed;
    auto* editor = std::get_if<CharacterEditor>(found);
    if (editor && event->code == EV_EDITOR_OK) {
        // The confirmed text goes back to the application as the editor's data event.
        phone.framework().post(std::make_unique<Event>(EV_EDITOR_DATA, 0, editor->text()));
    }
    return kOk;
}

}  // namespace sim::service
