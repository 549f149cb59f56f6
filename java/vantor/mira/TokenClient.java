// A client of the token service on one configuration file, for Java hosts:
// the 28 operations with typed, immutable results, over the library's C
// interface.
package vantor.mira;

import java.io.IOException;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.List;
import java.util.Objects;
import java.util.Optional;
import java.util.OptionalInt;
import java.util.concurrent.locks.ReentrantReadWriteLock;
import java.util.function.LongFunction;

/**
 * A client of the token service, reading its servers from one configuration file.
 *
 * <p>Each method runs one synchronous request on the calling thread, with failover across the
 * configured servers, and returns an immutable result whose {@link Outcome#code()} is {@link
 * #ACCEPTED}, {@link #ARGUMENT_REFUSED}, {@link #NO_ANSWER} or the service's own verdict. A
 * verdict or a network failure is a result code, never an exception.
 *
 * <p>Texts are sent in the client's charset (UTF-8 unless {@link #open(Path, Path, Charset)}
 * names another) and outputs are read back in it, with malformed bytes as U+FFFD. A text that
 * the charset cannot encode (or that holds a NUL), or a null where the operation needs a text,
 * gives {@link #ARGUMENT_REFUSED} and nothing is sent. The library limits texts by their
 * encoded length (20 bytes for most, see the library's manual).
 *
 * <p>Any number of threads may call one client at once. After {@link #close()} every call
 * throws {@link IllegalStateException}.
 *
 * <pre>{@code
 * try (TokenClient client = TokenClient.open(Path.of("cfgfile.ini"), null)) {
 *   ExpiryResult r = client.auth(1001, 123456);
 *   if (r.isAccepted()) System.out.println("valid until " + r.expiry().get());
 * }
 * }</pre>
 */
public final class TokenClient implements AutoCloseable {
  /** The service accepted the request. */
  public static final int ACCEPTED = 9999;
  /** An argument was refused; nothing was sent. */
  public static final int ARGUMENT_REFUSED = 1011;
  /**
   * No usable answer: no server gave a readable reply, the client is closing, or
   * authentication is paused after three calls in a row reached no server.
   */
  public static final int NO_ANSWER = 1012;

  private final TextCodec codec;
  private final ReentrantReadWriteLock lock = new ReentrantReadWriteLock();
  private long handle; // guarded by lock; 0 once closed

  private TokenClient(long handle, Charset charset) {
    this.handle = handle;
    this.codec = new TextCodec(charset);
  }

  /**
   * Opens a client on a configuration file, with texts in UTF-8.
   *
   * @param config the INI file listing the servers; it is read now
   * @param log the file failed attempts are logged to, or null for none
   * @return the client, to be closed by the caller
   * @throws IOException when the configuration cannot be read or is not valid; the message
   *     gives the reason
   * @throws IllegalArgumentException when a path's bytes hold a NUL
   */
  public static TokenClient open(Path config, Path log) throws IOException {
    return open(config, log, StandardCharsets.UTF_8);
  }

  /**
   * Opens a client on a configuration file, with texts in the given charset.
   *
   * @param config the INI file listing the servers; it is read now
   * @param log the file failed attempts are logged to, or null for none
   * @param textCharset the charset texts are sent and outputs read in, such as the service's
   *     GBK; it must keep ASCII as ASCII and encode no character to a NUL byte (so not UTF-16)
   * @return the client, to be closed by the caller
   * @throws IOException when the configuration cannot be read or is not valid; the message
   *     gives the reason
   * @throws IllegalArgumentException when the charset changes ASCII or encodes a character to a
   *     NUL byte, or a path's bytes hold a NUL
   */
  public static TokenClient open(Path config, Path log, Charset textCharset) throws IOException {
    Objects.requireNonNull(config, "config");
    Objects.requireNonNull(textCharset, "textCharset");
    if (!TextCodec.fitsCStrings(textCharset)) {
      throw new IllegalArgumentException(
          "charset "
              + textCharset.name()
              + " cannot be used: ASCII must stay ASCII and no character may encode to a NUL"
              + " byte");
    }
    byte[] error = new byte[NativeClient.ERROR_BYTES];
    long handle = NativeClient.open(pathBytes(config), log == null ? null : pathBytes(log), error);
    if (handle == 0) {
      throw new IOException(new TextCodec(pathCharset()).decode(error));
    }
    return new TokenClient(handle, textCharset);
  }

  /**
   * Waits for the calls in flight, then releases the native client. Further calls throw {@link
   * IllegalStateException}; closing again does nothing.
   */
  @Override
  public void close() {
    lock.writeLock().lock();
    try {
      if (handle != 0) NativeClient.close(handle);
      handle = 0;
    } finally {
      lock.writeLock().unlock();
    }
  }

  // ---- Authentication.

  /**
   * Checks a card's one-time password.
   *
   * @param cardNo the card's number
   * @param dynpasswd the one-time password the card shows
   * @return the verdict, and when accepted the card's expiry
   * @throws IllegalStateException when the client is closed
   */
  public ExpiryResult auth(int cardNo, int dynpasswd) {
    return call(
        h -> {
          byte[] out = new byte[NativeClient.EXPIRE_BYTES];
          return expiryResult(NativeClient.auth(h, cardNo, dynpasswd, out), out);
        });
  }

  /**
   * Checks a card's one-time password on the service's second authentication page.
   *
   * @param cardNo the card's number
   * @param dynpasswd the one-time password the card shows
   * @return the verdict, and when accepted the card's expiry
   * @throws IllegalStateException when the client is closed
   */
  public ExpiryResult auth2(int cardNo, int dynpasswd) {
    return call(
        h -> {
          byte[] out = new byte[NativeClient.EXPIRE_BYTES];
          return expiryResult(NativeClient.auth2(h, cardNo, dynpasswd, out), out);
        });
  }

  /**
   * Checks two consecutive one-time passwords of a card.
   *
   * @param cardNo the card's number
   * @param dynpasswd1 the first one-time password
   * @param dynpasswd2 the one the card shows next
   * @return the verdict, and when accepted the card's expiry
   * @throws IllegalStateException when the client is closed
   */
  public ExpiryResult auth2Next(int cardNo, int dynpasswd1, int dynpasswd2) {
    return call(
        h -> {
          byte[] out = new byte[NativeClient.EXPIRE_BYTES];
          return expiryResult(NativeClient.auth2Next(h, cardNo, dynpasswd1, dynpasswd2, out), out);
        });
  }

  // ---- Binding.

  /**
   * Binds a card to an account.
   *
   * @param cardNo the card's number
   * @param dynpasswd the one-time password the card shows
   * @param appNo the account's first application number
   * @param appNo2 the account's second application number
   * @param account the account name (required, at most 20 bytes in the client's charset)
   * @return the verdict, and when accepted the binding's reserved password
   * @throws IllegalStateException when the client is closed
   */
  public PasswordResult binding(int cardNo, int dynpasswd, int appNo, int appNo2, String account) {
    return call(
        h -> {
          TextCodec.Texts t = codec.texts();
          byte[] a = t.required(account);
          if (t.refused()) return refusedPassword();
          byte[] out = new byte[NativeClient.PASSWORD_BYTES];
          return passwordResult(
              NativeClient.binding(h, cardNo, dynpasswd, appNo, appNo2, a, out), out);
        });
  }

  /**
   * Binds a card to an account on the service's second binding page.
   *
   * @param cardNo the card's number
   * @param dynpasswd the one-time password the card shows
   * @param appNo the account's first application number
   * @param appNo2 the account's second application number
   * @param account the account name (required, at most 20 bytes in the client's charset)
   * @return the verdict, and when accepted the binding's reserved password
   * @throws IllegalStateException when the client is closed
   */
  public PasswordResult binding2(int cardNo, int dynpasswd, int appNo, int appNo2, String account) {
    return call(
        h -> {
          TextCodec.Texts t = codec.texts();
          byte[] a = t.required(account);
          if (t.refused()) return refusedPassword();
          byte[] out = new byte[NativeClient.PASSWORD_BYTES];
          return passwordResult(
              NativeClient.binding2(h, cardNo, dynpasswd, appNo, appNo2, a, out), out);
        });
  }

  /**
   * Binds a card to an account, proven by two consecutive one-time passwords.
   *
   * @param cardNo the card's number
   * @param dynpasswd1 the first one-time password
   * @param dynpasswd2 the one the card shows next
   * @param appNo the account's first application number
   * @param appNo2 the account's second application number
   * @param account the account name (required, at most 20 bytes in the client's charset)
   * @return the verdict, and when accepted the binding's reserved password
   * @throws IllegalStateException when the client is closed
   */
  public PasswordResult binding2Next(
      int cardNo, int dynpasswd1, int dynpasswd2, int appNo, int appNo2, String account) {
    return call(
        h -> {
          TextCodec.Texts t = codec.texts();
          byte[] a = t.required(account);
          if (t.refused()) return refusedPassword();
          byte[] out = new byte[NativeClient.PASSWORD_BYTES];
          return passwordResult(
              NativeClient.binding2Next(h, cardNo, dynpasswd1, dynpasswd2, appNo, appNo2, a, out),
              out);
        });
  }

  /**
   * Removes a card's binding to an account.
   *
   * @param cardNo the card's number
   * @param serviceNo the card's service number, or null
   * @param dynpasswd the one-time password the card shows
   * @param appNo the account's first application number
   * @param appNo2 the account's second application number
   * @param account the account name (required)
   * @return the verdict
   * @throws IllegalStateException when the client is closed
   */
  public Result unbinding(
      int cardNo, String serviceNo, int dynpasswd, int appNo, int appNo2, String account) {
    return call(
        h -> {
          TextCodec.Texts t = codec.texts();
          byte[] s = t.optional(serviceNo);
          byte[] a = t.required(account);
          if (t.refused()) return refused();
          return new Result(NativeClient.unbinding(h, cardNo, s, dynpasswd, appNo, appNo2, a));
        });
  }

  /**
   * Removes a card's binding to an account on the service's second unbinding page.
   *
   * @param cardNo the card's number
   * @param serviceNo the card's service number, or null
   * @param dynpasswd the one-time password the card shows
   * @param appNo the account's first application number
   * @param appNo2 the account's second application number
   * @param account the account name (required)
   * @return the verdict
   * @throws IllegalStateException when the client is closed
   */
  public Result unbinding2(
      int cardNo, String serviceNo, int dynpasswd, int appNo, int appNo2, String account) {
    return call(
        h -> {
          TextCodec.Texts t = codec.texts();
          byte[] s = t.optional(serviceNo);
          byte[] a = t.required(account);
          if (t.refused()) return refused();
          return new Result(NativeClient.unbinding2(h, cardNo, s, dynpasswd, appNo, appNo2, a));
        });
  }

  /**
   * Removes a card's binding to an account, proven by two consecutive one-time passwords.
   *
   * @param cardNo the card's number
   * @param serviceNo the card's service number, or null
   * @param dynpasswd1 the first one-time password
   * @param dynpasswd2 the one the card shows next
   * @param appNo the account's first application number
   * @param appNo2 the account's second application number
   * @param account the account name (required)
   * @return the verdict
   * @throws IllegalStateException when the client is closed
   */
  public Result unbinding2Next(
      int cardNo,
      String serviceNo,
      int dynpasswd1,
      int dynpasswd2,
      int appNo,
      int appNo2,
      String account) {
    return call(
        h -> {
          TextCodec.Texts t = codec.texts();
          byte[] s = t.optional(serviceNo);
          byte[] a = t.required(account);
          if (t.refused()) return refused();
          return new Result(
              NativeClient.unbinding2Next(h, cardNo, s, dynpasswd1, dynpasswd2, appNo, appNo2, a));
        });
  }

  /**
   * Removes a card's binding to an account without a one-time password.
   *
   * @param cardNo the card's number
   * @param appNo the account's first application number
   * @param appNo2 the account's second application number
   * @param account the account name (required)
   * @return the verdict
   * @throws IllegalStateException when the client is closed
   */
  public Result unbindingEx(int cardNo, int appNo, int appNo2, String account) {
    return call(
        h -> {
          TextCodec.Texts t = codec.texts();
          byte[] a = t.required(account);
          if (t.refused()) return refused();
          return new Result(NativeClient.unbindingEx(h, cardNo, appNo, appNo2, a));
        });
  }

  /**
   * Removes a card's binding to an account, proven by the binding's reserved password.
   *
   * @param cardNo the card's number
   * @param appNo the account's first application number
   * @param appNo2 the account's second application number
   * @param account the account name (required)
   * @param resvPassword the reserved password the binding handed out (required)
   * @return the verdict
   * @throws IllegalStateException when the client is closed
   */
  public Result unbindingEx2(
      int cardNo, int appNo, int appNo2, String account, String resvPassword) {
    return call(
        h -> {
          TextCodec.Texts t = codec.texts();
          byte[] a = t.required(account);
          byte[] p = t.required(resvPassword);
          if (t.refused()) return refused();
          return new Result(NativeClient.unbindingEx2(h, cardNo, appNo, appNo2, a, p));
        });
  }

  // ---- Card lifecycle.

  /**
   * Puts a card into service and records its holder's profile. Every text may be null.
   *
   * @param serviceNo the card's service number
   * @param dynpasswd the one-time password the card shows
   * @param userName the holder's name (at most 20 bytes)
   * @param idType the kind of identity document, as the service numbers them
   * @param id the identity document's number (at most 20 bytes)
   * @param mobile the mobile telephone number (at most 20 bytes)
   * @param tel the fixed telephone number (at most 20 bytes)
   * @param post the postcode (at most 10 bytes)
   * @param email the e-mail address (at most 40 bytes)
   * @param address the postal address (at most 100 bytes)
   * @return the verdict, and when accepted the card's expiry
   * @throws IllegalStateException when the client is closed
   */
  public ExpiryResult enable(
      String serviceNo,
      int dynpasswd,
      String userName,
      int idType,
      String id,
      String mobile,
      String tel,
      String post,
      String email,
      String address) {
    return call(
        h -> {
          TextCodec.Texts t = codec.texts();
          byte[] s = t.optional(serviceNo);
          byte[][] p = profile(t, userName, id, mobile, tel, post, email, address);
          if (t.refused()) return refusedExpiry();
          byte[] out = new byte[NativeClient.EXPIRE_BYTES];
          int code =
              NativeClient.enable(
                  h, s, dynpasswd, p[0], idType, p[1], p[2], p[3], p[4], p[5], p[6], out);
          return expiryResult(code, out);
        });
  }

  /**
   * Puts a card into service, proven by two consecutive one-time passwords. Every text may be
   * null.
   *
   * @param serviceNo the card's service number
   * @param dynpasswd1 the first one-time password
   * @param dynpasswd2 the one the card shows next
   * @param userName the holder's name (at most 20 bytes)
   * @param idType the kind of identity document, as the service numbers them
   * @param id the identity document's number (at most 20 bytes)
   * @param mobile the mobile telephone number (at most 20 bytes)
   * @param tel the fixed telephone number (at most 20 bytes)
   * @param post the postcode (at most 10 bytes)
   * @param email the e-mail address (at most 40 bytes)
   * @param address the postal address (at most 100 bytes)
   * @return the verdict, and when accepted the card's expiry
   * @throws IllegalStateException when the client is closed
   */
  public ExpiryResult enableNext(
      String serviceNo,
      int dynpasswd1,
      int dynpasswd2,
      String userName,
      int idType,
      String id,
      String mobile,
      String tel,
      String post,
      String email,
      String address) {
    return call(
        h -> {
          TextCodec.Texts t = codec.texts();
          byte[] s = t.optional(serviceNo);
          byte[][] p = profile(t, userName, id, mobile, tel, post, email, address);
          if (t.refused()) return refusedExpiry();
          byte[] out = new byte[NativeClient.EXPIRE_BYTES];
          int code =
              NativeClient.enableNext(
                  h, s, dynpasswd1, dynpasswd2, p[0], idType, p[1], p[2], p[3], p[4], p[5], p[6],
                  out);
          return expiryResult(code, out);
        });
  }

  /**
   * Takes a card out of service.
   *
   * @param cardNo the card's number
   * @param serviceNo the card's service number (required)
   * @param idCode the holder's identity code (required)
   * @param appNo the account's first application number
   * @param appNo2 the account's second application number
   * @param account the account name, or null
   * @param operatorName who performs the action, or null
   * @return the verdict
   * @throws IllegalStateException when the client is closed
   */
  public Result disable(
      int cardNo,
      String serviceNo,
      String idCode,
      int appNo,
      int appNo2,
      String account,
      String operatorName) {
    return call(
        h -> {
          TextCodec.Texts t = codec.texts();
          byte[] s = t.required(serviceNo);
          byte[] i = t.required(idCode);
          byte[] a = t.optional(account);
          byte[] o = t.optional(operatorName);
          if (t.refused()) return refused();
          return new Result(NativeClient.disable(h, cardNo, s, i, appNo, appNo2, a, o));
        });
  }

  /**
   * Reports a card lost.
   *
   * @param cardNo the card's number
   * @param serviceNo the card's service number (required)
   * @param type the kind of loss report, passed on to the service
   * @param appNo the account's first application number
   * @param appNo2 the account's second application number
   * @param account the account name, or null
   * @param operatorName who performs the action, or null
   * @return the verdict
   * @throws IllegalStateException when the client is closed
   */
  public Result loss(
      int cardNo,
      String serviceNo,
      int type,
      int appNo,
      int appNo2,
      String account,
      String operatorName) {
    return call(
        h -> {
          TextCodec.Texts t = codec.texts();
          byte[] s = t.required(serviceNo);
          byte[] a = t.optional(account);
          byte[] o = t.optional(operatorName);
          if (t.refused()) return refused();
          return new Result(NativeClient.loss(h, cardNo, s, type, appNo, appNo2, a, o));
        });
  }

  /**
   * Withdraws a card's loss report.
   *
   * @param cardNo the card's number
   * @param serviceNo the card's service number (required)
   * @param dynpasswd the one-time password the card shows
   * @param operatorName who performs the action, or null
   * @return the verdict
   * @throws IllegalStateException when the client is closed
   */
  public Result unloss(int cardNo, String serviceNo, int dynpasswd, String operatorName) {
    return call(
        h -> {
          TextCodec.Texts t = codec.texts();
          byte[] s = t.required(serviceNo);
          byte[] o = t.optional(operatorName);
          if (t.refused()) return refused();
          return new Result(NativeClient.unloss(h, cardNo, s, dynpasswd, o));
        });
  }

  /**
   * Withdraws a card's loss report, proven by two consecutive one-time passwords.
   *
   * @param cardNo the card's number
   * @param serviceNo the card's service number (required)
   * @param dynpasswd1 the first one-time password
   * @param dynpasswd2 the one the card shows next
   * @param operatorName who performs the action, or null
   * @return the verdict
   * @throws IllegalStateException when the client is closed
   */
  public Result unlossNext(
      int cardNo, String serviceNo, int dynpasswd1, int dynpasswd2, String operatorName) {
    return call(
        h -> {
          TextCodec.Texts t = codec.texts();
          byte[] s = t.required(serviceNo);
          byte[] o = t.optional(operatorName);
          if (t.refused()) return refused();
          return new Result(NativeClient.unlossNext(h, cardNo, s, dynpasswd1, dynpasswd2, o));
        });
  }

  // ---- Binding information and status.

  /**
   * Lists the accounts a card is bound to.
   *
   * @param cardNo the card's number
   * @param dynpasswd the one-time password the card shows
   * @return the verdict, and when accepted the service's row count and up to ten rows
   * @throws IllegalStateException when the client is closed
   */
  public BindingsResult bindInfoQuery(int cardNo, int dynpasswd) {
    return call(
        h -> {
          int[] count = new int[1];
          byte[] rows = new byte[NativeClient.MAX_ROWS * NativeClient.ROW_BYTES];
          return bindingsResult(
              NativeClient.bindInfoQuery(h, cardNo, dynpasswd, count, rows), count[0], rows);
        });
  }

  /**
   * Lists the accounts a card is bound to, proven by two consecutive one-time passwords.
   *
   * @param cardNo the card's number
   * @param dynpasswd1 the first one-time password
   * @param dynpasswd2 the one the card shows next
   * @return the verdict, and when accepted the service's row count and up to ten rows
   * @throws IllegalStateException when the client is closed
   */
  public BindingsResult bindInfoQueryNext(int cardNo, int dynpasswd1, int dynpasswd2) {
    return call(
        h -> {
          int[] count = new int[1];
          byte[] rows = new byte[NativeClient.MAX_ROWS * NativeClient.ROW_BYTES];
          int code = NativeClient.bindInfoQueryNext(h, cardNo, dynpasswd1, dynpasswd2, count, rows);
          return bindingsResult(code, count[0], rows);
        });
  }

  /**
   * Asks for a card's status and expiry.
   *
   * @param cardNo the card's number
   * @return the verdict, and when accepted the card's status and expiry
   * @throws IllegalStateException when the client is closed
   */
  public StatusResult status(int cardNo) {
    return call(
        h -> {
          int[] status = new int[1];
          byte[] out = new byte[NativeClient.EXPIRE_BYTES];
          int code = NativeClient.status(h, cardNo, status, out);
          if (code != ACCEPTED) return new StatusResult(code, OptionalInt.empty(), Optional.empty());
          return new StatusResult(code, OptionalInt.of(status[0]), TextCodec.expiry(out));
        });
  }

  // ---- Card replacement, holder profile, account links.

  /**
   * Replaces a card by a new one.
   *
   * @param cardNoOld the number of the card being replaced
   * @param serviceNoOld its service number (required)
   * @param serviceNoNew the new card's service number (required)
   * @param dynpasswd the one-time password the old card shows
   * @return the verdict
   * @throws IllegalStateException when the client is closed
   */
  public Result change(int cardNoOld, String serviceNoOld, String serviceNoNew, int dynpasswd) {
    return call(
        h -> {
          TextCodec.Texts t = codec.texts();
          byte[] o = t.required(serviceNoOld);
          byte[] n = t.required(serviceNoNew);
          if (t.refused()) return refused();
          return new Result(NativeClient.change(h, cardNoOld, o, n, dynpasswd));
        });
  }

  /**
   * Replaces a card by a new one, proven by two consecutive one-time passwords.
   *
   * @param cardNoOld the number of the card being replaced
   * @param serviceNoOld its service number (required)
   * @param serviceNoNew the new card's service number (required)
   * @param dynpasswd1 the first one-time password of the old card
   * @param dynpasswd2 the one it shows next
   * @return the verdict
   * @throws IllegalStateException when the client is closed
   */
  public Result changeNext(
      int cardNoOld, String serviceNoOld, String serviceNoNew, int dynpasswd1, int dynpasswd2) {
    return call(
        h -> {
          TextCodec.Texts t = codec.texts();
          byte[] o = t.required(serviceNoOld);
          byte[] n = t.required(serviceNoNew);
          if (t.refused()) return refused();
          return new Result(NativeClient.changeNext(h, cardNoOld, o, n, dynpasswd1, dynpasswd2));
        });
  }

  /**
   * Changes the holder's profile. Every text may be null.
   *
   * @param cardNo the card's number
   * @param dynpasswd the one-time password the card shows
   * @param userName the holder's name (at most 20 bytes)
   * @param idType the kind of identity document, as the service numbers them
   * @param id the identity document's number (at most 20 bytes)
   * @param mobile the mobile telephone number (at most 20 bytes)
   * @param tel the fixed telephone number (at most 20 bytes)
   * @param post the postcode (at most 10 bytes)
   * @param email the e-mail address (at most 40 bytes)
   * @param address the postal address (at most 100 bytes)
   * @return the verdict
   * @throws IllegalStateException when the client is closed
   */
  public Result modifyInfo(
      int cardNo,
      int dynpasswd,
      String userName,
      int idType,
      String id,
      String mobile,
      String tel,
      String post,
      String email,
      String address) {
    return call(
        h -> {
          TextCodec.Texts t = codec.texts();
          byte[][] p = profile(t, userName, id, mobile, tel, post, email, address);
          if (t.refused()) return refused();
          return new Result(
              NativeClient.modifyInfo(
                  h, cardNo, dynpasswd, p[0], idType, p[1], p[2], p[3], p[4], p[5], p[6]));
        });
  }

  /**
   * Changes the holder's profile, proven by two consecutive one-time passwords. Every text may
   * be null.
   *
   * @param cardNo the card's number
   * @param dynpasswd1 the first one-time password
   * @param dynpasswd2 the one the card shows next
   * @param userName the holder's name (at most 20 bytes)
   * @param idType the kind of identity document, as the service numbers them
   * @param id the identity document's number (at most 20 bytes)
   * @param mobile the mobile telephone number (at most 20 bytes)
   * @param tel the fixed telephone number (at most 20 bytes)
   * @param post the postcode (at most 10 bytes)
   * @param email the e-mail address (at most 40 bytes)
   * @param address the postal address (at most 100 bytes)
   * @return the verdict
   * @throws IllegalStateException when the client is closed
   */
  public Result modifyInfoNext(
      int cardNo,
      int dynpasswd1,
      int dynpasswd2,
      String userName,
      int idType,
      String id,
      String mobile,
      String tel,
      String post,
      String email,
      String address) {
    return call(
        h -> {
          TextCodec.Texts t = codec.texts();
          byte[][] p = profile(t, userName, id, mobile, tel, post, email, address);
          if (t.refused()) return refused();
          return new Result(
              NativeClient.modifyInfoNext(
                  h, cardNo, dynpasswd1, dynpasswd2, p[0], idType, p[1], p[2], p[3], p[4], p[5],
                  p[6]));
        });
  }

  /**
   * Links the card to the e-sale account kind.
   *
   * @param cardNo the card's number
   * @param dynpasswd the one-time password the card shows
   * @return the verdict, and when accepted the link's reserved password
   * @throws IllegalStateException when the client is closed
   */
  public PasswordResult bindEsale(int cardNo, int dynpasswd) {
    return call(
        h -> {
          byte[] out = new byte[NativeClient.PASSWORD_BYTES];
          return passwordResult(NativeClient.bindEsale(h, cardNo, dynpasswd, out), out);
        });
  }

  /**
   * Links the card to the e-sale account kind, proven by two consecutive one-time passwords.
   *
   * @param cardNo the card's number
   * @param dynpasswd1 the first one-time password
   * @param dynpasswd2 the one the card shows next
   * @return the verdict, and when accepted the link's reserved password
   * @throws IllegalStateException when the client is closed
   */
  public PasswordResult bindEsaleNext(int cardNo, int dynpasswd1, int dynpasswd2) {
    return call(
        h -> {
          byte[] out = new byte[NativeClient.PASSWORD_BYTES];
          return passwordResult(
              NativeClient.bindEsaleNext(h, cardNo, dynpasswd1, dynpasswd2, out), out);
        });
  }

  /**
   * Links the card to a further account kind.
   *
   * @param cardNo the card's number
   * @param dynpasswd the one-time password the card shows
   * @return the verdict, and when accepted the link's reserved password
   * @throws IllegalStateException when the client is closed
   */
  public PasswordResult bindOther(int cardNo, int dynpasswd) {
    return call(
        h -> {
          byte[] out = new byte[NativeClient.PASSWORD_BYTES];
          return passwordResult(NativeClient.bindOther(h, cardNo, dynpasswd, out), out);
        });
  }

  /**
   * Links the card to a further account kind, proven by two consecutive one-time passwords.
   *
   * @param cardNo the card's number
   * @param dynpasswd1 the first one-time password
   * @param dynpasswd2 the one the card shows next
   * @return the verdict, and when accepted the link's reserved password
   * @throws IllegalStateException when the client is closed
   */
  public PasswordResult bindOtherNext(int cardNo, int dynpasswd1, int dynpasswd2) {
    return call(
        h -> {
          byte[] out = new byte[NativeClient.PASSWORD_BYTES];
          return passwordResult(
              NativeClient.bindOtherNext(h, cardNo, dynpasswd1, dynpasswd2, out), out);
        });
  }

  // ---- The call frame.

  /** Runs `operation` on the open handle; close() waits for it. */
  private <R> R call(LongFunction<R> operation) {
    lock.readLock().lock();
    try {
      if (handle == 0) throw new IllegalStateException("the TokenClient is closed");
      return operation.apply(handle);
    } finally {
      lock.readLock().unlock();
    }
  }

  private static byte[][] profile(
      TextCodec.Texts t,
      String userName,
      String id,
      String mobile,
      String tel,
      String post,
      String email,
      String address) {
    return new byte[][] {
      t.optional(userName),
      t.optional(id),
      t.optional(mobile),
      t.optional(tel),
      t.optional(post),
      t.optional(email),
      t.optional(address)
    };
  }

  private static Result refused() {
    return new Result(ARGUMENT_REFUSED);
  }

  private static ExpiryResult refusedExpiry() {
    return new ExpiryResult(ARGUMENT_REFUSED, Optional.empty());
  }

  private static PasswordResult refusedPassword() {
    return new PasswordResult(ARGUMENT_REFUSED, Optional.empty());
  }

  private static ExpiryResult expiryResult(int code, byte[] out) {
    return new ExpiryResult(code, code == ACCEPTED ? TextCodec.expiry(out) : Optional.empty());
  }

  private PasswordResult passwordResult(int code, byte[] out) {
    return new PasswordResult(
        code, code == ACCEPTED ? Optional.of(codec.decode(out)) : Optional.empty());
  }

  private BindingsResult bindingsResult(int code, int count, byte[] rows) {
    if (code != ACCEPTED) return new BindingsResult(code, 0, List.of());
    return new BindingsResult(code, count, codec.rows(rows, count));
  }

  /** Paths are handed to the C library in the charset the JVM uses for file names. */
  private static Charset pathCharset() {
    String name = System.getProperty("sun.jnu.encoding");
    try {
      return name == null ? Charset.defaultCharset() : Charset.forName(name);
    } catch (IllegalArgumentException e) {
      return Charset.defaultCharset();
    }
  }

  /** A path holding a NUL would name another file on the native side. */
  private static byte[] pathBytes(Path path) {
    byte[] bytes = path.toString().getBytes(pathCharset());
    if (TextCodec.holdsNul(bytes)) throw new IllegalArgumentException("the path holds a NUL");
    return bytes;
  }
}
