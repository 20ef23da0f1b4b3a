#include "platform/sys/Jpeg.h"

#include <QFile>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void OnError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr) {}  // warnings are not worth a word on stderr

}  // namespace

QImage DecodeJpeg(const QByteArray& data) {
  if (data.size() < 4) return QImage();
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = OnError;
  err.pub.output_message = OnMessage;
  // Nothing with a destructor lives across the jump: the image is made only after setjmp.
  QImage* volatile result = nullptr;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    delete result;
    return QImage();
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.constData()),
               static_cast<unsigned long>(data.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  result = new QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB888);
  if (result->isNull()) {
    jpeg_destroy_decompress(&cinfo);
    delete result;
    return QImage();
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = result->scanLine(int(cinfo.output_scanline));
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  QImage out = result->convertToFormat(QImage::Format_RGB32);
  delete result;
  return out;
}

QImage LoadJpegFile(const QString& fileName) {
  QFile f(fileName);
  if (!f.open(QIODevice::ReadOnly)) return QImage();
  return DecodeJpeg(f.readAll());
}
