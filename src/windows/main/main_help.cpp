// The help menu and the remarks button of the tool bar.

#include "windows/main/main.h"

#include "ui_main.h"

#include "platform/application.h"
#include "services/tools_viewer.h"
#include "windows/about.h"

#include <QToolBar>
#include <QToolButton>

void TfrmMain::SetupHelp()
{
    ToolButton7 = new QToolButton(ui->ToolBar1);
    ToolButton7->setObjectName(QStringLiteral("ToolButton7"));
    ToolButton7->setText(QStringLiteral("Замечения"));
    ToolButton7->setToolTip(QStringLiteral("Замечания"));
    ui->ToolBar1->addWidget(ToolButton7);
    connect(ToolButton7, &QToolButton::clicked, this, GuardedSlot(this, &TfrmMain::ToolButton7Click));
    connect(ui->N8, &QAction::triggered, this, GuardedSlot(this, &TfrmMain::N8Click));
    connect(ui->N11, &QAction::triggered, this, GuardedSlot(this, &TfrmMain::N11Click));
    connect(ui->N10, &QAction::triggered, this, GuardedSlot(this, &TfrmMain::N10Click));
}

void TfrmMain::N8Click()
{
    OpenDocument(HomePageAddress());
}

void TfrmMain::N11Click()
{
    OpenFeedbackMail();
}

void TfrmMain::ToolButton7Click()
{
    OpenFeedbackMail();
}

void TfrmMain::N10Click()
{
    // Owned by the application; a new box every time, freed when closed.
    auto *about = new TfrmAbout();
    about->exec();
}
