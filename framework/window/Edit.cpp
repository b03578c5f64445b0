// The edit control's change notification and colours.
#include "window/Edit.h"

namespace zo {

Edit::Edit() {
    CreateStruct* cs = createInfo.Get();
    cs->className = L"edit";
    cs->exStyle = WS_EX_CLIENTEDGE;
    cs->style |= ES_AUTOHSCROLL;
    backColor = 0x00FFFFFF;
    // The parent hands the control its own notifications back through this
    // event, with the control as source.
    commandEvent.Add(this, &Edit::OnCommand);
    colorHandler.Bind(this, &Edit::OnColor);
}

Edit::~Edit() {
    if (handle) DestroyWindow(handle);
    commandEvent.Delete(commandEvent.IndexOf(this, &Edit::OnCommand));
    colorHandler.Unbind();
}

void Edit::OnCommand(unsigned short, unsigned short code, IWnd*) {
    if (code == EN_CHANGE && !changeHandler.IsNull()) changeHandler.Procedure()(this);
}

} // namespace zo
