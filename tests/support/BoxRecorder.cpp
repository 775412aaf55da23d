#include "support/BoxRecorder.h"

BoxRecorder::BoxRecorder()
{
    MessageBox::setHandler([this](const MessageBox::Request& request) {
        boxes.append(request);
        if (whileOpen) {
            whileOpen(request);
        }
        if (!answers_.isEmpty()) {
            return answers_.dequeue();
        }
        return request.kind == MessageBox::Kind::Question ? QMessageBox::No : QMessageBox::Ok;
    });
}

BoxRecorder::~BoxRecorder()
{
    MessageBox::setHandler({});
}

QStringList BoxRecorder::texts() const
{
    QStringList list;
    for (const MessageBox::Request& box : boxes) {
        list.append(box.text);
    }
    return list;
}
