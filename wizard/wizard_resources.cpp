#include "wizard/wizard_resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE may not be used inside a namespace.
static void InitWizardQrc() {
    Q_INIT_RESOURCE(wizard);
}

namespace tallivo {

void LoadWizardResources() {
    static const bool loaded = (InitWizardQrc(), true);
    (void)loaded;
}

}  // namespace tallivo
