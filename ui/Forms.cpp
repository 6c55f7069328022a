#include "ui/Forms.h"

#include "ui/Form2_changelog.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/Form4_seleccionlenguaje.h"
#include "ui/Form5_seleccioncarpeta.h"
#include "ui/Form6_msgbox.h"
#include "ui/Form7_acercade.h"
#include "ui/Unit1.h"

#include <memory>

namespace {

// Owns the windows for the whole process; DestroyAllForms destroys them in reverse order.
struct FormOwner {
    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm2> form2;
    std::unique_ptr<TForm3> form3;
    std::unique_ptr<TForm4> form4;
    std::unique_ptr<TForm5> form5;
    std::unique_ptr<TForm6> form6;
    std::unique_ptr<TForm7> form7;
};

// Never destroyed by itself: a failed start-up check or a missing database ends the process with
// std::exit, and windows torn down by exit handlers after Qt's own statics are gone crash the
// process instead of ending it with its status. DestroyAllForms destroys them on a normal end.
FormOwner& owner() {
    static FormOwner* const instance = new FormOwner();
    return *instance;
}

template <typename Form>
Form* create(std::unique_ptr<Form>& slot, Form*& global) {
    slot = std::make_unique<Form>();
    global = slot.get();
    return global;
}

}  // namespace

void CreateAllForms() {
    FormOwner& forms = owner();
    if (forms.form1) return;
    create(forms.form1, Form1);
    create(forms.form2, Form2);
    create(forms.form3, Form3);
    create(forms.form4, Form4);
    create(forms.form5, Form5);
    create(forms.form6, Form6);
    create(forms.form7, Form7);
}

void DestroyAllForms() {
    FormOwner& forms = owner();
    forms.form7.reset();
    Form7 = nullptr;
    forms.form6.reset();
    Form6 = nullptr;
    forms.form5.reset();
    Form5 = nullptr;
    forms.form4.reset();
    Form4 = nullptr;
    forms.form3.reset();
    Form3 = nullptr;
    forms.form2.reset();
    Form2 = nullptr;
    forms.form1.reset();
    Form1 = nullptr;
}
