// vCard parser and import: every card of the input becomes a contact, as
// VCardImport::open and next do for a file.
#include "formats/vcard.h"
#include "formats/vcardimport.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Contact photos are images: Qt's image plug-ins want an application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const VCardCard& card : VCardParser::parse(text))
        VCardImport::contactFromCard(card);
    return 0;
}
