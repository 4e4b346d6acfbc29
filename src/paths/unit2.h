// TForm2, the settings dialog: shows the six browser paths for review, stores them in the
// Paths key on OK, resets them, and picks folders. Modeless; created once at start-up.
#pragma once

#include "paths/browser_paths.h"
#include "ui/controls.h"
#include "ui/form.h"

#include <array>
#include <cstddef>
#include <string>

class TForm2 : public TForm {
public:
    TForm2();

    void FormCreate() override;
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void Button8Click();
    void Button9Click();
    void Button10Click();

    // The edit of the path in row `row` of kBrowserPaths.
    TEdit* PathEdit(std::size_t row) const { return m_edits[row]; }

    TLabel* Label1;
    TGroupBox* GroupBox1;
    TLabel* Label2;
    TLabel* Label3;
    TLabel* Label4;
    TLabel* Label5;
    TEdit* Edit1;
    TEdit* Edit2;
    TEdit* Edit3;
    TEdit* Edit4;
    TButton* Button5;
    TButton* Button6;
    TButton* Button7;
    TButton* Button8;
    TGroupBox* GroupBox2;
    TLabel* Label6;
    TLabel* Label7;
    TEdit* Edit5;
    TEdit* Edit6;
    TButton* Button9;
    TButton* Button10;
    TButton* Button4;
    TButton* Button3;
    TButton* Button2;
    TButton* Button1;

private:
    void CreatePathRow(std::size_t row);
    void SetPathText(std::size_t row, const std::string& path);
    // Runs the folder picker for the row that the "..." button fills.
    void BrowseFor(int button);

    std::array<TEdit*, kBrowserPathCount> m_edits{};
};

extern TForm2* Form2;
