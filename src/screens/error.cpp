// The error window: why an operation on the record file was refused or failed.
#include "screens.h"

#include "../draw/draw.h"
#include "../frame/frame.h"
#include "../platform/resources.h"
#include "../test/app.h"

#define ERROR_MESSAGES 5
#define ERROR_LINES 4

// One message: its title, three lines in white and a fourth in yellow. An empty line
// is left out.
struct error_message_t {
    const char* title;
    const char* lines[ERROR_LINES];
};

// Indexed by `Error` - 1.
// clang-format off
static const error_message_t errors_ru[ERROR_MESSAGES] = {
    {
        // Данная операция не возможна!
        "\xC4\xE0\xED\xED\xE0\xFF \xEE\xEF\xE5\xF0\xE0\xF6\xE8\xFF \xED\xE5 \xE2\xEE\xE7\xEC\xEE\xE6\xED\xE0!",
        {
            // Вы пытаетесь удалить запись!
            "\xC2\xFB \xEF\xFB\xF2\xE0\xE5\xF2\xE5\xF1\xFC \xF3\xE4\xE0\xEB\xE8\xF2\xFC \xE7\xE0\xEF\xE8\xF1\xFC!",
            // Но в базе всего одна актив-
            "\xCD\xEE \xE2 \xE1\xE0\xE7\xE5 \xE2\xF1\xE5\xE3\xEE \xEE\xE4\xED\xE0 \xE0\xEA\xF2\xE8\xE2-",
            // ная запись.
            "\xED\xE0\xFF \xE7\xE0\xEF\xE8\xF1\xFC.",
            // Вы можите ее только заменить.
            "\xC2\xFB \xEC\xEE\xE6\xE8\xF2\xE5 \xE5\xE5 \xF2\xEE\xEB\xFC\xEA\xEE \xE7\xE0\xEC\xE5\xED\xE8\xF2\xFC.",
        },
    },
    {
        // Список заполнен!
        "\xD1\xEF\xE8\xF1\xEE\xEA \xE7\xE0\xEF\xEE\xEB\xED\xE5\xED!",
        {
            // В списке 255 записей -
            "\xC2 \xF1\xEF\xE8\xF1\xEA\xE5 255 \xE7\xE0\xEF\xE8\xF1\xE5\xE9 -",
            // больше показать нельзя.
            "\xE1\xEE\xEB\xFC\xF8\xE5 \xEF\xEE\xEA\xE0\xE7\xE0\xF2\xFC \xED\xE5\xEB\xFC\xE7\xFF.",
            "",
            // Удалите ненужную запись.
            "\xD3\xE4\xE0\xEB\xE8\xF2\xE5 \xED\xE5\xED\xF3\xE6\xED\xF3\xFE \xE7\xE0\xEF\xE8\xF1\xFC.",
        },
    },
    {
        // Запись слишком длинная!
        "\xC7\xE0\xEF\xE8\xF1\xFC \xF1\xEB\xE8\xF8\xEA\xEE\xEC \xE4\xEB\xE8\xED\xED\xE0\xFF!",
        {
            // В записи больше 50 знаков:
            "\xC2 \xE7\xE0\xEF\xE8\xF1\xE8 \xE1\xEE\xEB\xFC\xF8\xE5 50 \xE7\xED\xE0\xEA\xEE\xE2:",
            // редактор ее не вместит.
            "\xF0\xE5\xE4\xE0\xEA\xF2\xEE\xF0 \xE5\xE5 \xED\xE5 \xE2\xEC\xE5\xF1\xF2\xE8\xF2.",
            "",
            // Измените ее на компьютере.
            "\xC8\xE7\xEC\xE5\xED\xE8\xF2\xE5 \xE5\xE5 \xED\xE0 \xEA\xEE\xEC\xEF\xFC\xFE\xF2\xE5\xF0\xE5.",
        },
    },
    {
        // Ошибка записи!
        "\xCE\xF8\xE8\xE1\xEA\xE0 \xE7\xE0\xEF\xE8\xF1\xE8!",
        {
            // Изменение не сохранено:
            "\xC8\xE7\xEC\xE5\xED\xE5\xED\xE8\xE5 \xED\xE5 \xF1\xEE\xF5\xF0\xE0\xED\xE5\xED\xEE:",
            // файл записать не удалось.
            "\xF4\xE0\xE9\xEB \xE7\xE0\xEF\xE8\xF1\xE0\xF2\xFC \xED\xE5 \xF3\xE4\xE0\xEB\xEE\xF1\xFC.",
            "",
            // Файл остался прежним.
            "\xD4\xE0\xE9\xEB \xEE\xF1\xF2\xE0\xEB\xF1\xFF \xEF\xF0\xE5\xE6\xED\xE8\xEC.",
        },
    },
    {
        // Ошибка чтения!
        "\xCE\xF8\xE8\xE1\xEA\xE0 \xF7\xF2\xE5\xED\xE8\xFF!",
        {
            // Изменение не сделано:
            "\xC8\xE7\xEC\xE5\xED\xE5\xED\xE8\xE5 \xED\xE5 \xF1\xE4\xE5\xEB\xE0\xED\xEE:",
            // файл не удалось прочесть.
            "\xF4\xE0\xE9\xEB \xED\xE5 \xF3\xE4\xE0\xEB\xEE\xF1\xFC \xEF\xF0\xEE\xF7\xE5\xF1\xF2\xFC.",
            "",
            // Файл остался прежним.
            "\xD4\xE0\xE9\xEB \xEE\xF1\xF2\xE0\xEB\xF1\xFF \xEF\xF0\xE5\xE6\xED\xE8\xEC.",
        },
    },
};

static const error_message_t errors_en[ERROR_MESSAGES] = {
    {"This operation not possible!",
     {"You try to delete a record!", "But this base only is one", "active record.", "You can only replase it."}},
    {"The list is full!", {"The list holds 255 records,", "the most that it can show.", "", "Delete a record first."}},
    {"The record is too long!",
     {"It has more than 50", "characters: the editor", "cannot hold it.", "Edit it on a computer."}},
    {"Write error!", {"The change was not saved:", "the file could not be", "written.", "The file is unchanged."}},
    {"Read error!", {"The change was not made:", "the file could not be", "read.", "The file is unchanged."}},
};
// clang-format on

const char* accept_label(void) {
    // Принять
    return LGID == LANGUAGE_RUSSIAN ? "\xCF\xF0\xE8\xED\xFF\xF2\xFC" : "Accepted";
}

// Rows of the lines below the body's top; no line stands at 48.
static const UINT8 line_rows[ERROR_LINES] = {12, 24, 36, 60};

void writeError(UINT16 x, UINT16 y) {
    const error_message_t* messages = (LGID == LANGUAGE_RUSSIAN) ? errors_ru : errors_en;
    // The refused deletion of the only record is the message of any unknown value.
    UINT8 which = Error;
    if (which < ERROR_ONLY_RECORD || which > ERROR_NOT_READ) which = ERROR_ONLY_RECORD;
    const error_message_t* m = &messages[which - 1];

    writeWin((UINT16)(SCREEN_WIDTH - 2 * x), (UINT16)(SCREEN_HEIGHT - 2 * y), m->title);

    for (UINT8 i = 0; i < ERROR_LINES; i++) {
        if (m->lines[i][0] == 0) continue;
        if (i == ERROR_LINES - 1)
            TextColorRGB(250, 250, 0);
        else
            TextColorRGB(250, 250, 250);
        WriteString((UINT8)(x + 2), (UINT8)(y + line_rows[i]), m->lines[i]);
    }

    wOK(1, accept_label(), (UINT16)((SCREEN_HEIGHT - y) / 2 + 2));
    mCursor(111, (UINT16)(y + 85));
}
