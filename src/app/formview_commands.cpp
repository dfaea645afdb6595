// Bookmarks, clear log, copy, the encoding menu, options, tab captions and order, help.
#include "app/formview.h"

void TFormView::StatusBar1Click(const QPoint &) {}
void TFormView::acFileClearExecute() {}
void TFormView::mnuTabCapClick() {}
void TFormView::mnuTabOrdClick() {}
void TFormView::acEditCopyExecute() {}
void TFormView::acEditSelectAllExecute() {}
void TFormView::acGotoSetExecute(int) {}
void TFormView::acGotoGoExecute(int) {}
void TFormView::acGotoClearExecute() {}
void TFormView::mnuEncMenuClick() {}
void TFormView::acOptDialogExecute() {}
void TFormView::acHelpContentsExecute() {}
void TFormView::Homepage1Click() {}
void TFormView::acHelpAboutExecute() {}
