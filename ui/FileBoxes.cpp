#include "FileBoxes.h"
#include "Guard.h"

#include "Display.h"
#include "FileSystem.h"
#include "NameOrder.h"

#include <QStyle>

#include <algorithm>
#include <cerrno>

namespace ui {

namespace {

std::string normalisedFolder(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder.empty() ? std::string(1, '/') : folder;
}

std::string existingFolder(std::string folder)
{
    folder = normalisedFolder(folder);
    while (!platform::folderExists(folder) && folder != "/") {
        size_t slash = folder.rfind('/');
        folder = slash == 0 || slash == std::string::npos ? std::string("/") : folder.substr(0, slash);
    }
    return folder;
}

std::vector<std::string> sortedEntries(const std::string& folder, const std::string& masks, bool folders)
{
    const std::vector<std::string_view> maskList = platform::splitMasks(masks);
    struct Name {
        NameKey key;
        std::string bytes;
    };
    std::vector<Name> found;
    const platform::FolderSnapshot listing(folder);
    for (const platform::DirEntry& entry : listing.entries()) {
        if (entry.name[0] == '.' || entry.isDirectory != folders) continue;
        // A link that leads nowhere is no file to choose.
        if (entry.error == ENOENT || entry.error == ELOOP) continue;
        if (std::any_of(maskList.begin(), maskList.end(),
                        [&](std::string_view mask) { return platform::matchesMask(entry.name, mask); }))
            found.push_back({NameKey(entry.name), entry.name});
    }
    // Names the order does not tell apart follow their bytes, so a listing never changes order.
    std::sort(found.begin(), found.end(), [](const Name& a, const Name& b) {
        const int c = a.key.compare(b.key);
        return c != 0 ? c < 0 : a.bytes < b.bytes;
    });
    std::vector<std::string> names;
    names.reserve(found.size());
    for (Name& name : found)
        if (names.empty() || names.back() != name.bytes) names.push_back(std::move(name.bytes));
    return names;
}

}  // namespace

DriveComboBox::DriveComboBox(QWidget* parent) : QComboBox(parent), drive_(platform::drives().front())
{
    for (char d : platform::drives()) addItem(platform::toDisplay(platform::driveRoot(d)), QVariant(int(d)));
    on(this, &QComboBox::activated, this, [this](int index) { setDrive(char(itemData(index).toInt())); });
}

void DriveComboBox::setDrive(char drive)
{
    int index = findData(QVariant(int(drive)));
    if (index < 0 || drive == drive_) return;
    drive_ = drive;
    setCurrentIndex(index);
    if (OnChange) guarded(OnChange);
}

DirectoryListBox::DirectoryListBox(QWidget* parent) : QListWidget(parent)
{
    on(this, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) { enter(item); });
    on(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { enter(item); });
}

void DirectoryListBox::setDirectory(const std::string& folder)
{
    if (folder.empty()) return;  // no folder named: stay where we are
    std::string target = existingFolder(folder);
    if (target == directory_) return;
    directory_ = target;
    fill();
    if (fileList_) fileList_->setDirectory(directory_);
    if (OnChange) guarded(OnChange);
}

void DirectoryListBox::setDrive(char drive)
{
    if (drive == Drive() && !directory_.empty()) return;
    setDirectory(platform::driveRoot(drive));
}

void DirectoryListBox::setFileList(FileListBox* list)
{
    fileList_ = list;
    if (fileList_ && !directory_.empty()) fileList_->setDirectory(directory_);
}

void DirectoryListBox::fill()
{
    clear();
    itemPaths_.clear();
    // The path from the root down to the current folder, indented, then its sub-folders.
    std::vector<std::string> chain{"/"};
    for (size_t i = 1; i <= directory_.size(); ++i)
        if (i == directory_.size() || directory_[i] == '/') {
            if (i > 1) chain.push_back(directory_.substr(0, i));
        }
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    int depth = 0;
    for (const std::string& path : chain) {
        std::string name = path == "/" ? std::string("/") : platform::fileNamePart(path);
        addItem(new QListWidgetItem(open, QString(depth * 2, QLatin1Char(' ')) + platform::toDisplay(name)));
        itemPaths_.push_back(path);
        ++depth;
    }
    setCurrentRow(int(chain.size()) - 1);
    std::string prefix = directory_ == "/" ? directory_ : directory_ + "/";
    for (const std::string& name : sortedEntries(directory_, "*.*", true)) {
        addItem(new QListWidgetItem(closed, QString(depth * 2, QLatin1Char(' ')) + platform::toDisplay(name)));
        itemPaths_.push_back(prefix + name);
    }
}

void DirectoryListBox::enter(QListWidgetItem* item)
{
    int row = this->row(item);
    if (row >= 0 && size_t(row) < itemPaths_.size()) setDirectory(itemPaths_[size_t(row)]);
}

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent)
{
    on(this, &QListWidget::currentRowChanged, this, [this] {
        if (!filling_) fire();
    });
}

void FileListBox::setDirectory(const std::string& folder)
{
    std::string target = normalisedFolder(folder);
    if (target == directory_) return;
    directory_ = target;
    Update();
}

void FileListBox::setMask(const std::string& mask)
{
    if (mask == mask_) return;
    mask_ = mask;
    if (!directory_.empty()) Update();
}

void FileListBox::Update()
{
    filling_ = true;
    clear();
    names_ = sortedEntries(directory_, mask_, false);
    for (const std::string& name : names_) addItem(platform::toDisplay(name));
    filling_ = false;
    fire();
}

std::string FileListBox::FileName() const
{
    int row = currentRow();
    if (row < 0 || size_t(row) >= names_.size()) return std::string();
    return (directory_ == "/" ? directory_ : directory_ + "/") + names_[size_t(row)];
}

void FileListBox::setItemIndex(int i)
{
    filling_ = true;
    setCurrentRow(i);
    filling_ = false;
}

void FileListBox::setMultiSelect(bool on)
{
    setSelectionMode(on ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

void FileListBox::fire()
{
    if (OnChange) guarded(OnChange);
}

}  // namespace ui
