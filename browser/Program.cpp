#include "Program.h"

#include "Dialogs.h"
#include "FileSystem.h"
#include "Unit1.h"
#include "Unit10.h"
#include "Unit11.h"
#include "Unit12.h"
#include "Unit13.h"
#include "Unit14.h"
#include "Unit15.h"
#include "Unit16.h"
#include "Unit17.h"
#include "Unit18.h"
#include "Unit19.h"
#include "Unit2.h"
#include "Unit20.h"
#include "Unit21.h"
#include "Unit22.h"
#include "Unit23.h"
#include "Unit24.h"
#include "Unit25.h"
#include "Unit26.h"
#include "Unit3.h"
#include "Unit4.h"
#include "Unit5.h"
#include "Unit6.h"
#include "Unit7.h"
#include "Unit8.h"
#include "Unit9.h"

#include <QApplication>

std::string ApplicationHelpFile;

namespace {

std::vector<ui::Form*>& forms()
{
    static std::vector<ui::Form*> all;
    return all;
}

template <class T>
T* create(T*& global)
{
    global = new T;
    forms().push_back(global);
    return global;
}

}  // namespace

const std::vector<ui::Form*>& CreateForms()
{
    if (!forms().empty()) return forms();
    QApplication::setApplicationName(QStringLiteral("Sonoverne"));
    ui::prepareApplication();
    ui::Dialogs::setApplicationTitle(QStringLiteral("Sonoverne"));
    ApplicationHelpFile = platform::programFolder() + "Aide/index.htm";

    create(Form1);
    create(Form2);
    create(Form3);
    create(Form4);
    create(Form5);
    create(Form6);
    create(Form7);
    create(Form8);
    create(Form9);
    create(Form10);
    create(Form11);
    create(Form12);
    create(Form13);
    create(Form14);
    create(Form15);
    create(Form16);
    create(Form17);
    create(Form18);
    create(Form19);
    create(Form20);
    create(Form21);
    create(Form22);
    create(Form23);
    create(Form24);
    create(Form25);
    create(Form26);
    return forms();
}

void DestroyForms()
{
    auto& all = forms();
    while (!all.empty()) {
        delete all.back();
        all.pop_back();
    }
}
