// Finding text and going to the next line of a rule.
#include "app/formview.h"

void TFormView::acEditFindExecute() {}
void TFormView::acEditFindNextExecute() {}
void TFormView::acEditFindPrevExecute() {}
void TFormView::mnuSrGotoClick() {}
