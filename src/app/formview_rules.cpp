// Colour rules, the sub-strings filter and filtered logs.
#include "app/formview.h"

void TFormView::acOptColorsExecute() {}
void TFormView::mnuEdFilterClick() {}
