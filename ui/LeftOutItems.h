#pragma once

// What a drop, a folder or the command line brought that the image list left out, kept until the
// check of the list ends, whose status text then names them: the user sees which files stayed
// out and why, not a bare count.

#include <QByteArray>
#include <QString>

#include <vector>

namespace kavenra {

class LeftOutItems {
  public:
    enum class Why {
        NotFound,         // nothing of that name, or a name that is no local file
        NotAnImage,       // content that is no supported picture, or no regular file
        Unreadable,       // a file that may not be read
        NoImageInFolder,  // a folder that brought no picture
    };

    void add(const QByteArray& path, Why why);
    bool isEmpty() const { return items_.empty(); }
    void clear() { items_.clear(); }

    // The status bar's text: how many images are listed, then for each reason the first names
    // left out for it, and how many more.
    QString statusText(int entries) const;

    // Every item left out on a line of its own, its whole path and its reason, for the status
    // bar's tooltip; long lists end in how many more.
    QString details() const;

  private:
    struct Item {
        QByteArray path;
        Why why;
    };
    std::vector<Item> items_;
};

}  // namespace kavenra
