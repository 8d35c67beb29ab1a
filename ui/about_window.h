// The About window: the program's name, picture and version, its authors,
// and links to the download page, the discussion thread and the donation
// address, each handed to the system's browser or mail program.
#pragma once

#include <memory>

#include <QWidget>

namespace Ui {
class About;
}

class About : public QWidget {
    Q_OBJECT

public:
    explicit About(QWidget* parent = nullptr);
    ~About() override;

public slots:
    // The menu's "About Tavrin": brings an open window to the front, or
    // shows it.
    void open();

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void on_btnClose_pressed();

private:
    std::unique_ptr<Ui::About> ui;
};
