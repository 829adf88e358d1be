// Drive, folder and file boxes, built once for every window that picks files.
// Folders and files are byte paths (std::string); the boxes convert them only for display.
#pragma once

#include <QComboBox>
#include <QListWidget>
#include <functional>
#include <string>
#include <vector>

namespace ui {

class FileListBox;
class DirectoryListBox;

// Lists the drives; there is one, the root "/". Drive is the drive character.
class DriveComboBox : public QComboBox {
public:
    explicit DriveComboBox(QWidget* parent = nullptr);

    char Drive() const { return drive_; }
    // An unknown drive (or none) leaves the box as it is.
    void setDrive(char drive);

    std::function<void()> OnChange;

private:
    char drive_;
};

// Shows the current folder's ancestors and its sub-folders; a double-click enters a folder.
class DirectoryListBox : public QListWidget {
public:
    explicit DirectoryListBox(QWidget* parent = nullptr);

    // The current folder, without a trailing separator except for the root.
    const std::string& Directory() const { return directory_; }
    // A folder that does not exist opens its nearest existing parent.
    void setDirectory(const std::string& folder);
    char Drive() const { return directory_.empty() ? '/' : directory_[0]; }
    void setDrive(char drive);
    void setFileList(FileListBox* list);

    std::function<void()> OnChange;

private:
    void fill();
    void enter(QListWidgetItem* item);

    std::string directory_;
    std::vector<std::string> itemPaths_;
    FileListBox* fileList_ = nullptr;
};

// Lists the files of a folder that match its masks, in alphabetical order; hidden files and
// folders are not listed. OnChange fires after every refill and when the selection changes.
class FileListBox : public QListWidget {
public:
    explicit FileListBox(QWidget* parent = nullptr);

    const std::string& Directory() const { return directory_; }
    void setDirectory(const std::string& folder);
    const std::string& Mask() const { return mask_; }
    void setMask(const std::string& mask);
    // The selected file's full path (the current item), empty when none.
    std::string FileName() const;
    // The name (without folder) of item i.
    std::string itemName(int i) const { return names_.at(size_t(i)); }
    int ItemIndex() const { return currentRow(); }
    void setItemIndex(int i);
    void setMultiSelect(bool on);
    // Re-reads the folder.
    void Update();

    std::function<void()> OnChange;

private:
    void fire();

    std::string directory_;
    std::string mask_ = "*.*";
    std::vector<std::string> names_;
    bool filling_ = false;
};

}  // namespace ui
