// Printing and page setup.
#include "app/formview.h"

void TFormView::acFilePrintExecute() {}
void TFormView::acFilePageSetupExecute() {}
