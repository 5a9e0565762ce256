#pragma once
// The print preview window. Given an HTML view that holds the page, it lays
// the page out into recorded pages under the progress window, then either
// shows them one or two at a time with zoom, panning and page navigation,
// or prints a page range without being shown.

#include "platform/dialogs.h"

#include <QDialog>

#include <memory>

class QComboBox;
class QLabel;
class QPainter;
class QScrollArea;
class QStatusBar;
class QToolBar;
class QToolButton;
class THTMLViewer;
class TMetaFilePrinter;

// Screen cursor table ids of the zoom and hand tools.
constexpr int crZoomCursor = 40;
constexpr int crHandCursor = 41;

class TPreviewForm : public QDialog
{
    Q_OBJECT
public:
    // Lays the view's page out; aborted is true when the user cancelled.
    // The caller shows the window modally (it frees itself when closed) or
    // prints with PrintWithDialog and closes it.
    TPreviewForm(QWidget *owner, THTMLViewer *view, bool &aborted);
    ~TPreviewForm() override;

    // Print dialog, then printing of the chosen range.
    void PrintWithDialog();

    const TMetaFilePrinter &Pages() const { return *PageRecorder; }
    int CurrentPage() const { return CurPage; }
    double CurrentZoom() const { return Zoom; }
    bool WasAborted() const { return Aborted; }

    QToolBar *ToolBar1 = nullptr;
    QToolButton *FirstPageSpeed = nullptr;
    QToolButton *PrevPageSpeed = nullptr;
    QToolButton *NextPageSpeed = nullptr;
    QToolButton *LastPageSpeed = nullptr;
    QComboBox *ZoomBox = nullptr;
    QToolButton *ZoomCursorBut = nullptr;
    QToolButton *HandCursorBut = nullptr;
    QToolButton *OnePageBut = nullptr;
    QToolButton *TwoPageBut = nullptr;
    QToolButton *ToolButton4 = nullptr;
    QScrollArea *ScrollBox1 = nullptr;
    QWidget *ContainPanel = nullptr;
    QWidget *PagePanel = nullptr;
    QWidget *PB1 = nullptr;
    QWidget *PagePanel2 = nullptr;
    QWidget *PB2 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QLabel *StatusPanel0 = nullptr;
    TPrintDialog PrintDialog1;

    void FormShow();
    void ScrollBox1Resize();
    void ZoomBoxChange();
    void ZoomCursorButClick();
    void HandCursorButClick();
    void OnePageButMouseUp();
    void TwoPageButClick();
    void FirstPageSpeedClick();
    void PrevPageSpeedClick();
    void NextPageSpeedClick();
    void LastPageSpeedClick();
    void ToolButton4Click();
    void FitPageButClick();
    void FitWidthButClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void BuildControls();
    void BuildPages(QObject *sender);
    void PrintPages(QObject *sender);
    void ShowPageProgress(QObject *sender, int page, bool &stop);
    void SetCurPage(int n);
    void CheckEnable();
    // Places the pages in the box, less the scroll bars' room when bars;
    // returns whether the pages need the bars.
    bool LayoutPages(bool bars);
    void DrawPage(QPainter &painter, int page);
    void PBPaint(QWidget *box);
    void PB1MouseDown(QMouseEvent *event);
    void PB1MouseMove(QMouseEvent *event);
    void PB1MouseUp();

    THTMLViewer *Viewer = nullptr; // the caller's
    std::unique_ptr<TMetaFilePrinter> PageRecorder;
    bool Aborted = false;
    int FromPage = 1;
    int ToPage = 1;
    int CurPage = 0;
    double Zoom = 1.0;
    bool InLayout = false;
    bool LayoutAgain = false;
    bool HandDragging = false;
    int DragX = 0;
    int DragY = 0;
};
