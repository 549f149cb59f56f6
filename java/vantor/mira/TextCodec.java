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
import java.util.Map;
import java.util.Optional;
import java.util.concurrent.ConcurrentHashMap;

final class TextCodec {
  private static final DateTimeFormatter EXPIRY = DateTimeFormatter.ofPattern("yyyy-MM-dd HH:mm:ss");

  /** Charsets already found to pass through C strings unchanged, or not. */
  private static final Map<Charset, Boolean> FITS_C_STRINGS = new ConcurrentHashMap<>();

  private final Charset charset;

  TextCodec(Charset charset) {
    this.charset = charset;
  }

  /**
   * Whether texts in `charset` reach the native side as they are: ASCII stays ASCII, byte for
   * byte, and no character encodes to a NUL byte (which would cut a C string short, as UTF-16
   * cuts "alice" to "a").
   */
  static boolean fitsCStrings(Charset charset) {
    return FITS_C_STRINGS.computeIfAbsent(charset, TextCodec::checkCStrings);
  }

  private static boolean checkCStrings(Charset charset) {
    if (!charset.canEncode()) return false;
    CharsetEncoder encoder =
        charset
            .newEncoder()
            .onMalformedInput(CodingErrorAction.REPORT)
            .onUnmappableCharacter(CodingErrorAction.REPORT);
    try {
      for (char c = 0; c < 0x80; c++) {
        ByteBuffer one = encoder.reset().encode(CharBuffer.wrap(new char[] {c}));
        if (one.remaining() != 1 || one.get(0) != c) return false;
      }
      StringBuilder others = new StringBuilder();
      for (int c = 0x80; c <= Character.MAX_CODE_POINT; c++) {
        if (c < Character.MIN_SURROGATE || c > Character.MAX_SURROGATE) others.appendCodePoint(c);
      }
      encoder.reset().onUnmappableCharacter(CodingErrorAction.IGNORE);
      ByteBuffer all = encoder.encode(CharBuffer.wrap(others));
      while (all.hasRemaining()) {
        if (all.get() == 0) return false;
      }
      return true;
    } catch (CharacterCodingException e) {
      return false;
    }
  }

  /** Whether the bytes hold a NUL, which would cut them short as a C string. */
  static boolean holdsNul(byte[] bytes) {
    for (byte b : bytes) {
      if (b == 0) return true;
    }
    return false;
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
     * NUL byte in the encoded text, which would cut it short on the native side, refuses the
     * call.
     */
    byte[] optional(String text) {
      if (text == null || refused) return null;
      try {
        ByteBuffer bytes = encoder.reset().encode(CharBuffer.wrap(text));
        byte[] out = new byte[bytes.remaining()];
        bytes.get(out);
        if (holdsNul(out)) {
          refused = true;
          return null;
        }
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
