// The texts of one TokenClient call in the client's charset, and the
// outputs of an accepted call read back from the native side's bytes.
package vantor.mira;

import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.CharBuffer;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.Charset;
import java.nio.charset.CharsetEncoder;
import java.nio.charset.CodingErrorAction;
import java.nio.charset.StandardCharsets;
import java.time.LocalDateTime;
import java.time.format.DateTimeFormatter;
import java.time.format.DateTimeParseException;
import java.util.ArrayList;
import java.util.List;
import java.util.Optional;

final class TextCodec {
  private static final DateTimeFormatter EXPIRY = DateTimeFormatter.ofPattern("yyyy-MM-dd HH:mm:ss");

  private final Charset charset;

  TextCodec(Charset charset) {
    this.charset = charset;
  }

  /** The encoder of one call: collects its texts and whether any had to be refused. */
  final class Texts {
    private final CharsetEncoder encoder =
        charset
            .newEncoder()
            .onMalformedInput(CodingErrorAction.REPORT)
            .onUnmappableCharacter(CodingErrorAction.REPORT);
    private boolean refused;

    /** A text the operation needs: null is refused. */
    byte[] required(String text) {
      if (text == null) refused = true;
      return optional(text);
    }

    /**
     * A text that may be absent (null stays null). A character the charset cannot encode, or a
     * NUL, which would cut the text short on the native side, refuses the call.
     */
    byte[] optional(String text) {
      if (text == null || refused) return null;
      if (text.indexOf('\0') >= 0) {
        refused = true;
        return null;
      }
      try {
        ByteBuffer bytes = encoder.reset().encode(CharBuffer.wrap(text));
        byte[] out = new byte[bytes.remaining()];
        bytes.get(out);
        return out;
      } catch (CharacterCodingException e) {
        refused = true;
        return null;
      }
    }

    boolean refused() {
      return refused;
    }
  }

  Texts texts() {
    return new Texts();
  }

  /** The bytes up to the first NUL (or all of them), decoded; malformed bytes become U+FFFD. */
  String decode(byte[] bytes, int offset, int length) {
    int end = offset;
    while (end < offset + length && bytes[end] != 0) end++;
    return new String(bytes, offset, end - offset, charset);
  }

  String decode(byte[] bytes) {
    return decode(bytes, 0, bytes.length);
  }

  /** The library's "yyyy-MM-dd HH:mm:ss", or empty when it is not that. */
  static Optional<LocalDateTime> expiry(byte[] bytes) {
    int end = 0;
    while (end < bytes.length && bytes[end] != 0) end++;
    try {
      return Optional.of(
          LocalDateTime.parse(new String(bytes, 0, end, StandardCharsets.US_ASCII), EXPIRY));
    } catch (DateTimeParseException e) {
      return Optional.empty();
    }
  }

  /** The first min(count, 10) rows of the native side's row bytes. */
  List<Binding> rows(byte[] rows, int count) {
    ByteBuffer in = ByteBuffer.wrap(rows).order(ByteOrder.nativeOrder());
    int n = Math.max(0, Math.min(count, NativeClient.MAX_ROWS));
    List<Binding> out = new ArrayList<>(n);
    for (int i = 0; i < n; i++) {
      int at = i * NativeClient.ROW_BYTES;
      out.add(
          new Binding(
              in.getInt(at + 4),
              in.getInt(at + 8),
              decode(rows, at + 12, 20),
              decode(rows, at + 32, 20)));
    }
    return out;
  }
}
