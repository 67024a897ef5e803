#pragma once

// The settings window's "Class server" group: the connection (libpq's connection text, never
// with a password), the class name, "Test connection", and how many answers wait for the
// server with its last problem. The window's OK stores the keys; Cancel stores nothing.

#include <QGroupBox>
#include <QPointer>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kalmix {

class ClassUploader;

class ClassServerGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit ClassServerGroup(QWidget* parent = nullptr);

    // The stored keys into the boxes.
    void load();
    void Sprache();
    // Whether the boxes can be stored; otherwise a message says why and the box in question
    // takes the focus.
    bool check();
    // Writes the keys that changed (inside the caller's settings batch).
    void save();
    // A test of the connection is under way.
    bool testing() const { return m_testing; }

    QLineEdit* txtKlassenserver = nullptr;
    QLineEdit* txtKlasse = nullptr;
    QPushButton* cmdTesten = nullptr;
    QLabel* lblTest = nullptr;   // what the last test found
    QLabel* lblStatus = nullptr; // answers waiting, or where sending stands
    QLabel* lblFehler = nullptr; // the uploader's last problem

private:
    void testConnection();
    void showStatus();
    void watch(ClassUploader* uploader);

    QLabel* m_connectionLabel = nullptr;
    QLabel* m_classLabel = nullptr;
    QPointer<ClassUploader> m_watched;
    bool m_testing = false;
};

} // namespace kalmix
