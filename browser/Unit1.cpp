#include "Unit1.h"

#include "FileSystem.h"
#include "Guard.h"
#include "ShownText.h"
#include "Unit18.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit5.h"
#include "WalkReport.h"

#include <QApplication>
#include <QCollator>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <algorithm>

TForm1* Form1 = nullptr;
Tid3v2tag MainTag;
TTagStatus LastTagStatus = 0;

namespace {

const QString RootArtists = QStringLiteral("Artistes");
const QString RootAlbums = QStringLiteral("Albums");
const QString RootGenres = QStringLiteral("Genres");
const char* const Nothing = "<Rien>";

bool isRootText(const std::string& text) { return text == "Artistes" || text == "Albums" || text == "Genres"; }

QString nodeText(std::string_view value)
{
    return value.empty() ? QString::fromLatin1(Nothing) : QString::fromUtf8(value.data(), qsizetype(value.size()));
}

std::string nodeValue(const QTreeWidgetItem* node)
{
    QByteArray bytes = node->text(0).toUtf8();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

int nodeImage(const QTreeWidgetItem* node) { return node->data(0, Qt::UserRole).toInt(); }

// Kind of a node for the filter: 1 artist, 3 album, 2 genre.
int kindOfImage(int image) { return image == imgArtist ? 1 : image == imgAlbum ? 3 : 2; }

QIcon drawIcon(int image)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (image) {
    case imgArtist:  // a singer: head and shoulders
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2e, 0x6b, 0xb8));
        p.drawEllipse(QRectF(5, 1.5, 6, 6));
        p.drawRoundedRect(QRectF(2.5, 8.5, 11, 7), 3, 3);
        break;
    case imgAlbum:  // a disc
        p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1));
        p.setBrush(QColor(0xd9, 0xa4, 0x41));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(6, 6, 4, 4));
        break;
    default: {  // a note
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x3a, 0x9a, 0x4a));
        p.drawEllipse(QRectF(2, 10, 5.5, 4.5));
        p.drawRect(QRectF(6, 2, 1.6, 10));
        QPainterPath flag;
        flag.moveTo(7.6, 2);
        flag.lineTo(13, 4.5);
        flag.lineTo(7.6, 6.5);
        p.drawPath(flag);
        break;
    }
    }
    return QIcon(pixmap);
}

class MiddleElidingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideMiddle;
    }
};

class TreeNode : public QTreeWidgetItem {
public:
    TreeNode(QTreeWidgetItem* parent, const QString& text, int image, const QIcon& icon) : QTreeWidgetItem(parent)
    {
        setText(0, text);
        setIcon(0, icon);
        setData(0, Qt::UserRole, image);
    }
    TreeNode(QTreeWidget* tree, const QString& text, int image, const QIcon& icon) : QTreeWidgetItem(tree)
    {
        setText(0, text);
        setIcon(0, icon);
        setData(0, Qt::UserRole, image);
    }
    // A node outside any tree: filling it tells no view.
    TreeNode(const QString& text, int image, const QIcon& icon)
    {
        setText(0, text);
        setIcon(0, icon);
        setData(0, Qt::UserRole, image);
    }
};

// The node texts of one level, in the locale's case-sensitive order.
std::vector<size_t> collatedOrder(const QCollator& collator, const std::vector<QString>& texts)
{
    std::vector<size_t> order(texts.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    // A few texts compare faster than their sort keys are made; both give the same order.
    if (texts.size() <= 8) {
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            int c = collator.compare(texts[a], texts[b]);
            return c != 0 ? c < 0 : texts[a] < texts[b];
        });
        return order;
    }
    std::vector<QCollatorSortKey> keys;
    keys.reserve(texts.size());
    for (const QString& text : texts) keys.push_back(collator.sortKey(text));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        int c = keys[a].compare(keys[b]);
        return c != 0 ? c < 0 : texts[a] < texts[b];
    });
    return order;
}

}  // namespace

int64_t FileSizeOf(const std::string& path)
{
    int64_t size = 0;
    int32_t stamp = 0;
    return platform::fileSizeAndTime(path, size, stamp) ? size : 0;
}

std::string SizeInMegabytes(int64_t bytes)
{
    // bytes / 2^20 is exact in binary: round its hundredths half to even with integers.
    const unsigned __int128 scaled = (unsigned __int128)(bytes < 0 ? 0 : bytes) * 100;
    uint64_t hundredths = uint64_t(scaled >> 20);
    const uint64_t rest = uint64_t(scaled & ((1u << 20) - 1)), half = 1u << 19;
    if (rest > half || (rest == half && (hundredths & 1))) ++hundredths;
    std::string text = std::to_string(hundredths / 100);
    const unsigned fraction = unsigned(hundredths % 100);
    if (fraction != 0) {
        text += QLocale().decimalPoint().toLatin1();
        text += char('0' + fraction / 10);
        if (fraction % 10) text += char('0' + fraction % 10);
    }
    return text;
}

TForm1::TForm1()
{
    setCaption(QStringLiteral("Sonoverne - Gestion de collections MP3"));
    resize(1000, 650);
    for (int i = 0; i < 3; ++i) ImageList1[i] = drawIcon(i);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    MainMenu1 = new QMenuBar(this);
    layout->setMenuBar(MainMenu1);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ToolButton1 = ToolBar1->addAction(ImageList1[imgArtist], QStringLiteral("Tri par Artistes"));
    ToolButton2 = ToolBar1->addAction(ImageList1[imgAlbum], QStringLiteral("Tri par Albums"));
    ToolButton3 = ToolBar1->addSeparator();
    layout->addWidget(ToolBar1);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    TreeView1 = new QTreeWidget(Splitter1);
    TreeView1->setHeaderHidden(true);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSortingEnabled(false);

    ListView1 = new QTreeView(Splitter1);
    ListModel = new FileListModel(ListView1);
    ListView1->setModel(ListModel);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    // Long paths keep their file name in view; other texts are cut at their end.
    for (int column : {4, 5}) ListView1->setItemDelegateForColumn(column, new MiddleElidingDelegate(ListView1));
    ListView1->header()->setSectionsClickable(true);
    ListView1->header()->setSortIndicatorShown(false);
    ListView1->header()->setStretchLastSection(false);
    const int widths[FileListModel::ColumnCount] = {150, 200, 40, 100, 120, 80, 50, 70, 70, 200, 50};
    for (int c = 0; c < FileListModel::ColumnCount; ++c) ListView1->setColumnWidth(c, widths[c]);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    // The selection stays visible when the list loses the focus.
    for (QWidget* view : {static_cast<QWidget*>(TreeView1), static_cast<QWidget*>(ListView1)}) {
        QPalette palette = view->palette();
        palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
        palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         palette.color(QPalette::Active, QPalette::HighlightedText));
        view->setPalette(palette);
    }
    Splitter1->addWidget(TreeView1);
    Splitter1->addWidget(ListView1);
    layout->addWidget(Splitter1, 1);

    StatusBar1 = new QWidget(this);
    auto* status = new QHBoxLayout(StatusBar1);
    status->setContentsMargins(2, 2, 2, 2);
    status->setSpacing(2);
    const int panelWidths[3] = {500, 100, 150};
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = new QLabel(StatusBar1);
        StatusPanels[i]->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        StatusPanels[i]->setFixedWidth(panelWidths[i]);
        status->addWidget(StatusPanels[i]);
    }
    status->addStretch(1);
    layout->addWidget(StatusBar1);

    ScruteDossier1.Filtre = "*.mp3";
    ScruteDossier1.SousDossier = true;
    ScruteDossier1.MaxPenetration = 1000000;
    ScruteDossier1.OnFichier = [this](TScruteDossier* s, const std::string& nom) { ScruteDossier1Fichier(s, nom); };
    ScruteDossier1.OnFinExecute = [this](TScruteDossier* s) { ScruteDossier1FinExecute(s); };

    createMenus();
    ui::on(ToolButton1, &QAction::triggered, this, &TForm1::ToolButton1Click);
    ui::on(ToolButton2, &QAction::triggered, this, &TForm1::ToolButton2Click);
    ui::on(TreeView1, &QTreeWidget::itemClicked, this, &TForm1::TreeView1Click);
    ui::on(TreeView1, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* node) { TreeView1Expanding(node); });
    ui::on(ListView1->header(), &QHeaderView::sectionClicked, this,
           [this](int column) { ListView1ColumnClick(column); });
    ui::on(ListView1, &QWidget::customContextMenuRequested, this,
           [this](const QPoint& at) { PopupMenu1->popup(ListView1->viewport()->mapToGlobal(at)); });

    OnActivate = [this] { FormActivate(); };
    // Closing the main window ends the program, whatever other window is still open.
    OnClose = [] { QApplication::quit(); };
    OnPaint = [this] { FormPaint(); };
    qApp->installEventFilter(this);
    FormCreate();
}

void TForm1::FormCreate()
{
    FirstActivationDone = false;
    QuitAfterScan = false;
}

void TForm1::FormActivate()
{
    if (FirstActivationDone) return;
    const int listWidth = width() / 6 * 5;
    Splitter1->setSizes({width() - listWidth, listWidth});
    FirstActivationDone = true;
    Form3->Show();
    Form3->Label2->setText(QStringLiteral(" "));
    LoadSettings();
}

void TForm1::FormShortCut(int key, Qt::KeyboardModifiers)
{
    if (key != Qt::Key_F5) return;
    // A reload asked for during a walk is refused quietly.
    if (ScruteDossier1.Running()) return;
    Form3->Show();
    Form3->Label2->setText(QStringLiteral(" "));
    LoadSettings();
}

void TForm1::FormPaint()
{
    if (StatusPanels[1]->width() != 100) StatusPanels[1]->setFixedWidth(100);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // A key event travels up from the focused control; take it once, where it starts.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        QWidget* focus = QApplication::focusWidget();
        QWidget* target = focus && focus->window() == this ? focus : static_cast<QWidget*>(this);
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == target && target->window() == this && key->key() == Qt::Key_F5 && !key->isAutoRepeat())
            ui::guarded([&] { FormShortCut(key->key(), key->modifiers()); });
    }
    if (event->type() == QEvent::KeyRelease && watched == TreeView1) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat()) ui::guarded([&] { TreeView1KeyUp(key->key()); });
    } else if (event->type() == QEvent::KeyPress && watched == ListView1) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) enterPressedInList_ = true;
    } else if (event->type() == QEvent::KeyRelease && watched == ListView1) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat()) ui::guarded([&] { ListView1KeyUp(key->key()); });
    }
    return ui::Form::eventFilter(watched, event);
}

void TForm1::Rafraichir1Click() { FormShortCut(Qt::Key_F5, Qt::NoModifier); }

void TForm1::ScruteDossier1Fichier(TScruteDossier*, const std::string& Nom)
{
    Form3->ShowFileName(platform::fileNamePart(Nom));
    FileCount = FileCount + 1;
    FilePaths[FileCount] = Nom;
    ReadFileTags();
}

void TForm1::fillRowFromTag(int pos)
{
    // The rows, and the lists and tree built from them, show each text whole, up to its first 0.
    FileRow& row = FileTable[pos];
    static const std::pair<int, const char*> frames[] = {{fTitle, "TIT2"}, {fArtist, "TPE1"}, {fAlbum, "TALB"},
                                                         {fYear, "TYER"},  {fGenre, "TCON"},  {fTrack, "TRCK"}};
    for (const auto& [field, frame] : frames) row[field] = shownTagText(MainTag, frame).text;
    row[fComment] = shownComment(MainTag).text;
}

void TForm1::ReadFileTags()
{
    const int pos = FileCount;
    const std::string& path = FilePaths[pos];
    FileRow& row = FileTable[pos];
    LastTagStatus = MainTag.LoadFromFile(path, 0);
    if (!tagOk(LastTagStatus)) {
        for (int field : {fTitle, fArtist, fAlbum, fYear, fGenre, fTrack, fComment, fDuration, fSizeMo})
            row[field].clear();
    } else {
        fillRowFromTag(pos);
        // The load has just opened this file: its size needs no second look.
        row[fSizeMo] = SizeInMegabytes(MainTag.LoadedFileSize >= 0 ? MainTag.LoadedFileSize : FileSizeOf(path));
        row[fDuration].clear();
    }
    row[fPath] = path;
    row[fFolder] = platform::folderPart(path);
}

void TForm1::ScruteDossier1FinExecute(TScruteDossier*)
{
    if (QuitAfterScan) QApplication::quit();
    BuildDistinctLists();
    Form3->Hide();
    if (AfterWalk) AfterWalk();
    // What the walk could not read is missing from the list: the user is told which. Not when
    // the program ends with the walk.
    if (!QuitAfterScan) ui::tellWalkFailures(this, ScruteDossier1);
}

void TForm1::ClearTreeAndList()
{
    TreeView1->clear();
    ListModel->clear();
    pathRows_.clear();
}

void TForm1::BuildDistinctLists()
{
    pathRows_.clear();
    // One pass over the table fills the three lists.
    struct Distinct {
        int field;
        OneBasedTable<std::string>& names;
        int& count;
        DistinctValues values;
    };
    const auto first = [](int field) {
        return FileCount > 0 ? std::string_view(FileTable.at(1)[field]) : std::string_view();
    };
    Distinct lists[3] = {{fArtist, ArtistNames, ArtistCount, DistinctValues(first(fArtist))},
                         {fGenre, GenreNames, GenreCount, DistinctValues(first(fGenre))},
                         {fAlbum, AlbumNames, AlbumCount, DistinctValues(first(fAlbum))}};
    for (int pos = 1; pos <= FileCount; ++pos) {
        const FileRow& row = FileTable.at(pos);
        for (Distinct& list : lists) list.values.add(row[list.field]);
    }
    for (Distinct& list : lists) {
        list.count = 0;
        for (std::string_view value : list.values.values()) list.names[++list.count].assign(value);
    }
    BuildArtistTree();
}

std::vector<TreeChild> TForm1::collectChildren(const OneBasedTable<std::string>& names, int count, int matchField,
                                               int collectField) const
{
    std::vector<std::string_view> texts(static_cast<size_t>(count));
    for (int i = 1; i <= count; ++i) texts[size_t(i - 1)] = names.at(i);
    TreeChildren children(texts);
    for (int pos = 1; pos <= FileCount; ++pos) {
        const FileRow& row = FileTable.at(pos);
        children.add(row[matchField], row[collectField]);
    }
    return children.take();
}

void TForm1::BuildTree(const QString& root, int rootImage, const OneBasedTable<std::string>& names, int count,
                       int childImage, int matchField, int collectField, int grandchildImage, bool updateStatus)
{
    const std::vector<TreeChild> children = collectChildren(names, count, matchField, collectField);

    TreeView1->setUpdatesEnabled(false);
    const QSignalBlocker block(TreeView1);
    TreeView1->clear();
    // The nodes are made outside the tree and join it in one insertion.
    auto* rootNode = new TreeNode(root, rootImage, ImageList1[rootImage]);

    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseSensitive);
    std::vector<QString> childTexts;
    childTexts.reserve(children.size());
    for (const TreeChild& child : children) childTexts.push_back(nodeText(child.text));
    QList<QTreeWidgetItem*> nodes;
    nodes.reserve(qsizetype(children.size()));
    for (size_t c : collatedOrder(collator, childTexts)) {
        auto* node = new TreeNode(childTexts[c], childImage, ImageList1[childImage]);
        std::vector<QString> texts;
        texts.reserve(children[c].grandchildren.size());
        for (std::string_view value : children[c].grandchildren) texts.push_back(nodeText(value));
        QList<QTreeWidgetItem*> leaves;
        leaves.reserve(qsizetype(texts.size()));
        for (size_t g : collatedOrder(collator, texts))
            leaves.append(new TreeNode(texts[g], grandchildImage, ImageList1[grandchildImage]));
        node->addChildren(leaves);
        nodes.append(node);
    }
    rootNode->addChildren(nodes);
    TreeView1->addTopLevelItem(rootNode);
    TreeView1->setUpdatesEnabled(true);

    // Expanding the root selects it and lists every file.
    TreeView1Expanding(rootNode);
    rootNode->setExpanded(true);
    if (updateStatus) {
        if (TreeView1->currentItem()) FilterListByNode();
        StatusPanels[0]->setText(rootNode->text(0));
        StatusPanels[1]->setText(QString::number(RowsShown) + QStringLiteral(" fichier(s)"));
    }
}

void TForm1::BuildArtistTree()
{
    BuildTree(RootArtists, imgArtist, ArtistNames, ArtistCount, imgArtist, fArtist, fAlbum, imgAlbum, true);
}

void TForm1::BuildAlbumTree()
{
    BuildTree(RootAlbums, imgAlbum, AlbumNames, AlbumCount, imgAlbum, fAlbum, fArtist, imgArtist, true);
}

void TForm1::BuildGenreTree()
{
    BuildTree(RootGenres, imgGenre, GenreNames, GenreCount, imgGenre, fGenre, fAlbum, imgAlbum, false);
}

void TForm1::FilterListByNode()
{
    QTreeWidgetItem* S = TreeView1->currentItem();
    if (!S || !S->isSelected()) return;
    std::string sText = nodeValue(S);
    int sKind = kindOfImage(nodeImage(S));
    if (isRootText(sText)) sKind = 0;
    if (QTreeWidgetItem* P = S->parent()) {
        pText_ = nodeValue(P);
        pKind_ = kindOfImage(nodeImage(P));
        if (pText_ == Nothing) pText_.clear();
    }
    // Rows gather here and reach the list in one update.
    RowsShown = 0;
    pendingRows_.clear();
    if (sText == Nothing) sText.clear();

    if (isRootText(sText)) {
        pendingRows_.reserve(size_t(FileCount));
        for (int pos = 1; pos <= FileCount; ++pos) AddListRow(pos);
    } else {
        const bool parentIsRoot = isRootText(pText_);
        for (int pos = 1; pos <= FileCount; ++pos) {
            const FileRow& row = FileTable.at(pos);
            const bool add =
                (parentIsRoot && ((sKind == 1 && row[fArtist] == sText) || (sKind == 3 && row[fAlbum] == sText) ||
                                  (sKind == 2 && row[fGenre] == sText))) ||
                (sKind == 1 && row[fArtist] == sText && pKind_ == 3 && row[fAlbum] == pText_) ||
                (sKind == 3 && row[fAlbum] == sText &&
                 ((pKind_ == 1 && row[fArtist] == pText_) || (pKind_ == 2 && row[fGenre] == pText_)));
            if (add) AddListRow(pos);
        }
    }
    ListModel->setRows(std::move(pendingRows_));
    pendingRows_.clear();
}

void TForm1::AddListRow(int pos)
{
    pendingRows_.push_back(pos);
    RowsShown = RowsShown + 1;
}

void TForm1::showNodeStatus(const QString& text)
{
    StatusPanels[0]->setText(text);
    StatusPanels[1]->setText(QString::number(RowsShown) + QStringLiteral(" fichier(s)"));
}

void TForm1::TreeView1Click()
{
    QTreeWidgetItem* node = TreeView1->currentItem();
    if (!node || !node->isSelected()) return;
    FilterListByNode();
    showNodeStatus(node->text(0));
}

void TForm1::TreeView1KeyUp(int) { TreeView1Click(); }

void TForm1::TreeView1Expanding(QTreeWidgetItem* node)
{
    if (!node) return;
    TreeView1->setCurrentItem(node);
    FilterListByNode();
}

void TForm1::ListView1ColumnClick(int column)
{
    SortColumn = column;
    ListModel->sortByColumn(SortColumn);
}

void TForm1::Slectionnertout1Click() { ListView1->selectAll(); }

std::vector<std::string> TForm1::SelectedPaths() const
{
    std::vector<std::string> paths;
    QModelIndexList selected = ListView1->selectionModel()->selectedRows();
    std::vector<int> listRows;
    listRows.reserve(size_t(selected.size()));
    for (const QModelIndex& index : selected) listRows.push_back(index.row());
    std::sort(listRows.begin(), listRows.end());
    for (int row : listRows) paths.push_back(ListModel->cell(row, 4));
    return paths;
}

void TForm1::Rafraichir3Click()
{
    if (pathRows_.empty()) {
        pathRows_.reserve(size_t(FileCount));
        for (int pos = 1; pos <= FileCount; ++pos) pathRows_[FileTable.at(pos)[fPath]].push_back(pos);
    }
    QModelIndexList selected = ListView1->selectionModel()->selectedRows();
    std::vector<int> listRows;
    for (const QModelIndex& index : selected) listRows.push_back(index.row());
    std::sort(listRows.begin(), listRows.end());
    for (int i : listRows) {
        const std::string p = ListModel->cell(i, 4);
        auto found = pathRows_.find(p);
        if (found == pathRows_.end()) continue;
        for (int pos : found->second) {
            LastTagStatus = MainTag.LoadFromFile(p, 0);
            if (tagOk(LastTagStatus)) {
                fillRowFromTag(pos);
                FileRow& row = FileTable[pos];
                row[fFolder] = platform::folderPart(row[fPath]);
                row[fSizeMo] = SizeInMegabytes(FileSizeOf(row[fPath]));
            }
        }
        // The list row is drawn from its table row, refreshed or not.
        ListModel->refreshRow(i);
    }
}
