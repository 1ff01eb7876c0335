// Seleccion.ini on any bytes, read as the selection menu reads it: text decoding, lines, fields, numbers.
#include "BrioError.h"
#include "Conversions.h"
#include "FuzzSupport.h"
#include "SelectionMenu.h"

#include <QString>
#include <QStringList>

using namespace brio;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = Utf8OrLatin(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const std::string& line : SelectionMenu::SplitLines(text)) {
        BRIO_FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
        const QStringList fields = QString::fromStdString(line).split(QLatin1Char('\t'));
        try {
            if (fields.size() >= 2)
                (void)QString::number(Val(fields[0].toStdString()), 'g', 15);
        } catch (const BrioError&) {
            // a number too large: the menu stops loading there, as for any faulty line
        }
    }
    return 0;
}
