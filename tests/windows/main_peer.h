#pragma once
// What the main-window tests read or set that a user cannot reach through
// the window itself: the view record, the order tables, the connection and
// the values the start-up read.

#include "windows/main/main.h"

#include <functional>

class TfrmMainTestPeer
{
public:
    explicit TfrmMainTestPeer(TfrmMain &w) : m_w(w) {}

    THistoryRec &History() const { return m_w.History; }
    static THistoryRec *EntryRecord(QAction *entry) { return TfrmMain::EntryRecord(entry); }
    const QMap<int, QString> &GoodSortOrders() const { return m_w.GoodSortOrders; }
    const QMap<int, QString> &EnprSortOrders() const { return m_w.EnprSortOrders; }
    TZConnection &ZConnection1() const { return m_w.ZConnection1; }
    TZReadOnlyQuery &Query4() const { return m_w.Query4; }
    TZReadOnlyQuery &Query5() const { return m_w.Query5; }
    QTreeWidgetItem *GoodRootNode() const { return m_w.GoodRootNode; }
    TDataSource &DataSource1() const { return m_w.DataSource1; }
    TDataSource &DataSource2() const { return m_w.DataSource2; }

    const QString &AppDir() const { return m_w.AppDir; }
    const QStringList &TransferCities() const { return m_w.TransferCities; }
    bool BannerButton() const { return m_w.BannerButton; }
    int MainCity() const { return m_w.MainCity; }
    bool FirmHasPrd() const { return m_w.FirmHasPrd; }
    qintptr PhoneWnd() const { return m_w.PhoneWnd; }
    int ConnectCount() const { return m_w.ConnectCount(); }
    QList<QComboBox *> HistoryBoxes() const { return m_w.HistoryBoxes(); }

    QString GetCountsText(int branch, int level, int cid, int superId, int gid) const
    {
        return m_w.GetCountsText(branch, level, cid, superId, gid);
    }
    int TreeViewGetImageIndex(QTreeWidgetItem *node) const { return m_w.TreeViewGetImageIndex(node); }
    int TreeView1GetImageIndex() const { return m_w.TreeView1GetImageIndex(); }
    const QList<QIcon> &ImageList1() const { return m_w.ImageList1; }
    static int NodeNumber(const QTreeWidgetItem *node) { return TfrmMain::NodeNumber(node); }

    void SetRandomSource(std::function<int(int)> source) const { m_w.SetRandomSource(std::move(source)); }
    // A tree-driven organisation search where the tree offers none (its root).
    void FindEnterprises(bool byUser) const { m_w.FindEnterprises(byUser); }

    // The goods print job of the print command, without its dialog and
    // output: scope as in the dialog, the page body read afterwards.
    void SetPrintChoice(int choice) const { m_w.PrintChoice = choice; }
    void BuildGoodsPrintHtml(QObject *sender) const { m_w.BuildGoodsPrintHtml(sender); }
    const QString &ReportHtml() const { return m_w.ReportHtml; }

private:
    TfrmMain &m_w;
};

inline TfrmMainTestPeer Peer(TfrmMain &w)
{
    return TfrmMainTestPeer(w);
}
