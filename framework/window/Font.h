// Font: a LOGFONTW record and the GDI font made from it. The record is held
// through a counted reference; the font handle is owned and deleted with the
// object. GetDefaultFont is the process's record every window's control
// font is made from (a window owns the font made for its DPI, see View);
// its own handle serves controls outside such windows. The record's height
// is in pixels at 96 DPI; a font is made for a DPI.
#pragma once
#include "core/Base.h"
#include "core/Object.h"
#include "core/Win.h"

namespace zo {

class Font : public _class {
public:
    // Face names hold at most this many characters before their terminator.
    static const unsigned kMaxName = 31;

    Font();   // height 12, weight 400, DEFAULT_CHARSET, no face name
    ~Font();

    HFONT Handle() const { return handle; }

    // Both take effect at the next Realize.
    void SetSize(int height);
    // Copies up to kMaxName characters of text; null changes nothing.
    void SetName(const wchar_t* text);

    LOGFONTW* LogFont() const { return logFont.Get(); }
    void SetLogFont(const LOGFONTW* record);
    // Refills the record from the present font (its sizes as made, at its
    // DPI); false without one.
    bool GetLogFont();

    // Makes the font from the record, scaled to atDpi, deleting the one made
    // before. A font that cannot be made leaves a null handle, which controls
    // take as the system font.
    bool Realize(int atDpi = 96);
    // Makes the font again for another DPI and hands it to every window
    // inside parent that shows the present one, then deletes that one;
    // nothing when it is made for atDpi, unless remade is asked for (the
    // record changed).
    void Rescale(int atDpi, HWND parent, bool remade = false);
    int Dpi() const { return dpi; }

private:
    HFONT handle = nullptr;
    int dpi = 96;   // the DPI the handle was made for
    Object<LOGFONTW> logFont;
};

// The process's default control font, made on first use from any thread
// (concurrent first callers get one font) and never destroyed.
Font* GetDefaultFont();

} // namespace zo
