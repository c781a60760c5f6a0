#pragma once
// JPEG comment (COM, marker 0xFFFE) segments: adding them to a file and reading them back.
// Viewers skip comments, so the picture shows as before.

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>

namespace JpegComment {

constexpr int kMaxCommentBytes = 65533;   // a segment's length field counts itself (2 bytes)

// Inserts the comments right after the start-of-image marker (after a JFIF or Exif header
// when there is one). False for data that is not a JPEG or a comment that is too long.
bool insert(QByteArray& jpeg, const QList<QByteArray>& comments);
// Every comment before the image data, in file order; empty for data that is not a JPEG or
// whose segments are cut short.
QList<QByteArray> read(const QByteArray& jpeg);
// The picture's size from its frame header; invalid when there is none.
QSize pictureSize(const QByteArray& jpeg);

// The same on a file: written beside it and renamed over it, so a failure leaves the
// original picture untouched.
bool insertIntoFile(const QString& qStrPath, const QList<QByteArray>& comments, QString* pError = nullptr);

} // namespace JpegComment
