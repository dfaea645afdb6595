// Sessions of tabs and the recent sessions list.
#include "app/formview.h"

void TFormView::mnuSessOpenClick() {}
void TFormView::mnuSess1Click(int) {}
void TFormView::mnuSessRecentClearClick() {}
void TFormView::mnuSessSaveClick() {}
void TFormView::mnuSessSaveAsClick() {}
void TFormView::mnuSessCloseClick() {}
