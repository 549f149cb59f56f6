// The native methods on a real JVM against a loopback token server. The
// library reads cfgfile.ini from the working directory when the class
// Zephyrcoilvault is initialised, so the server starts and the file is
// written before the first native call.
package vantor.mira;

import static org.junit.Assert.assertEquals;

import java.time.Instant;
import java.time.LocalDateTime;
import java.time.ZoneId;
import java.time.format.DateTimeFormatter;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.CyclicBarrier;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.junit.AfterClass;
import org.junit.Before;
import org.junit.BeforeClass;
import org.junit.Test;

public class ZephyrcoilvaultTest {
  private static final long EXPIRE = 1704067200L;
  private static final String AUTH_REPLY =
      "<Reply><Result>9999</Result><ExpireTime>" + EXPIRE + "</ExpireTime></Reply>";
  private static final String BIND_REPLY =
      "<Reply><Result>9999</Result><ResvPassWord>123456</ResvPassWord></Reply>";

  private static TokenServer server;

  /** One native method with fixed card and passwords. */
  private interface Native {
    int call(StringBuffer out);
  }

  private static final class Method {
    final String name;
    final Native run;
    final String path;

    Method(String name, Native run, String path) {
      this.name = name;
      this.run = run;
      this.path = path;
    }
  }

  private static final Method AUTH2 =
      new Method(
          "TokenAuth2",
          out -> Zephyrcoilvault.TokenAuth2(7, 123456, out),
          "/TokenAuth2.asp?iCardNo=7&iDynpasswd=123456");
  private static final Method AUTH2_NEXT =
      new Method(
          "TokenAuth2Next",
          out -> Zephyrcoilvault.TokenAuth2Next(-8, 111111, 222222, out),
          "/TokenAuth2Next.asp?iCardNo=-8&iDynpasswd1=111111&iDynpasswd2=222222");
  private static final Method BIND_OTHER =
      new Method(
          "TokenBindOther",
          out -> Zephyrcoilvault.TokenBindOther(9, 333333, out),
          "/TokenBindOther.asp?iCardNo=9&iDynpasswd=333333");
  private static final Method BIND_OTHER_NEXT =
      new Method(
          "TokenBindOtherNext",
          out -> Zephyrcoilvault.TokenBindOtherNext(10, 444444, 555555, out),
          "/TokenBindOtherNext.asp?iCardNo=10&iDynpasswd1=444444&iDynpasswd2=555555");
  private static final List<Method> ALL =
      Arrays.asList(AUTH2, AUTH2_NEXT, BIND_OTHER, BIND_OTHER_NEXT);

  @BeforeClass
  public static void startServerAndWriteConfig() throws Exception {
    server = new TokenServer();
    server.writeConfigFile(1);
  }

  @AfterClass
  public static void stopServer() throws Exception {
    server.close();
  }

  @Before
  public void forgetRequests() {
    server.clear();
  }

  private static String localTime(long seconds) {
    return LocalDateTime.ofInstant(Instant.ofEpochSecond(seconds), ZoneId.systemDefault())
        .format(DateTimeFormatter.ofPattern("yyyy-MM-dd HH:mm:ss"));
  }

  @Test
  public void nullStringBufferIsRefusedWithoutARequest() {
    server.respondAlways(AUTH_REPLY);
    for (Method method : ALL) {
      assertEquals(method.name, Zephyrcoilvault.ARGUMENT_REFUSED, method.run.call(null));
    }
    assertEquals(List.of(), server.paths());
  }

  @Test
  public void acceptedAuthenticationAppendsTheExpiryBehindWhatTheBufferHeld() {
    server.respondAlways(AUTH_REPLY);
    for (Method method : Arrays.asList(AUTH2, AUTH2_NEXT)) {
      StringBuffer out = new StringBuffer("held:");
      assertEquals(method.name, Zephyrcoilvault.ACCEPTED, method.run.call(out));
      assertEquals(method.name, "held:" + localTime(EXPIRE), out.toString());
      assertEquals(method.name, 5 + 19, out.length());
    }
    assertEquals(List.of(AUTH2.path, AUTH2_NEXT.path), server.paths());
  }

  @Test
  public void acceptedLinkAppendsTheReservedPassword() {
    server.respondAlways(BIND_REPLY);
    for (Method method : Arrays.asList(BIND_OTHER, BIND_OTHER_NEXT)) {
      StringBuffer out = new StringBuffer("pw=");
      assertEquals(method.name, Zephyrcoilvault.ACCEPTED, method.run.call(out));
      assertEquals(method.name, "pw=123456", out.toString());
    }
    assertEquals(List.of(BIND_OTHER.path, BIND_OTHER_NEXT.path), server.paths());
  }

  @Test
  public void anyOtherVerdictLeavesTheBufferAsItWas() {
    // The refusal carries both outputs: neither may be delivered.
    server.respondAlways(
        "<Reply><Result>1020</Result><ExpireTime>" + EXPIRE
            + "</ExpireTime><ResvPassWord>654321</ResvPassWord></Reply>");
    for (Method method : ALL) {
      StringBuffer out = new StringBuffer("kept");
      assertEquals(method.name, 1020, method.run.call(out));
      assertEquals(method.name, "kept", out.toString());
    }
    assertEquals(4, server.paths().size());
  }

  @Test
  public void unreadableReplyGivesNoAnswerAndLeavesTheBuffer() {
    server.respondAlways("<Reply><Result>9999</Result>");
    StringBuffer out = new StringBuffer("kept");
    assertEquals(Zephyrcoilvault.NO_ANSWER, BIND_OTHER.run.call(out));
    assertEquals("kept", out.toString());
  }

  @Test
  public void reservedPasswordBytesAreDecodedAsUtf8WithReplacement() {
    String[][] cases = {
      {"\u00ff\u00fe\u00c3", "\ufffd\ufffd\ufffd"},  // not UTF-8, last sequence cut short
      {"\u00c3\u00a9\u00e4\u00b8\u00ad", "\u00e9\u4e2d"},  // "é中" in UTF-8
      {"\u00ed\u00a0\u0080", "\ufffd\ufffd\ufffd"},  // an encoded surrogate
      {"ab\u00c0\u00afc", "ab\ufffd\ufffdc"},  // an overlong '/'
    };
    for (String[] c : cases) {
      server.respondAlways(
          "<Reply><Result>9999</Result><ResvPassWord>" + c[0] + "</ResvPassWord></Reply>");
      StringBuffer out = new StringBuffer();
      assertEquals(c[1], Zephyrcoilvault.ACCEPTED, BIND_OTHER.run.call(out));
      assertEquals(c[1], out.toString());
    }
  }

  private static final Pattern CARD = Pattern.compile("iCardNo=(\\d+)");

  private static int cardOf(String path) {
    Matcher m = CARD.matcher(path);
    return m.find() ? Integer.parseInt(m.group(1)) : -1;
  }

  private static long expiryOf(int card) {
    return EXPIRE + 86400L * card;
  }

  private static String passwordOf(int card) {
    return String.format("%06d", card);
  }

  /** Runs `rounds` calls of all four methods on cards of its own and checks each output. */
  private static Void callAsThread(int thread, int rounds) {
    for (int r = 0; r < rounds; r++) {
      int card = thread * rounds + r;
      StringBuffer out = new StringBuffer("#");
      int code;
      String expected;
      if (r % 2 == 0) {
        code =
            r % 4 == 0
                ? Zephyrcoilvault.TokenAuth2(card, 1, out)
                : Zephyrcoilvault.TokenAuth2Next(card, 1, 2, out);
        expected = localTime(expiryOf(card));
      } else {
        code =
            r % 4 == 1
                ? Zephyrcoilvault.TokenBindOther(card, 1, out)
                : Zephyrcoilvault.TokenBindOtherNext(card, 1, 2, out);
        expected = passwordOf(card);
      }
      assertEquals(Zephyrcoilvault.ACCEPTED, code);
      assertEquals("#" + expected, out.toString());
    }
    return null;
  }

  @Test
  public void concurrentCallersEachReceiveTheirOwnResult() throws Exception {
    // Each card gets its own expiry and its own password, so that a buffer
    // or a reply mixed up between threads shows.
    server.respond(
        path ->
            path.startsWith("/TokenAuth")
                ? "<Reply><Result>9999</Result><ExpireTime>" + expiryOf(cardOf(path))
                    + "</ExpireTime></Reply>"
                : "<Reply><Result>9999</Result><ResvPassWord>" + passwordOf(cardOf(path))
                    + "</ResvPassWord></Reply>");
    final int threads = 16;
    final int rounds = 8;
    CyclicBarrier start = new CyclicBarrier(threads);
    ExecutorService pool = Executors.newFixedThreadPool(threads);
    try {
      List<Future<Void>> done = new ArrayList<>();
      for (int t = 0; t < threads; t++) {
        final int thread = t;
        done.add(
            pool.submit(
                () -> {
                  start.await(10, TimeUnit.SECONDS);
                  return callAsThread(thread, rounds);
                }));
      }
      for (Future<Void> f : done) {
        f.get(60, TimeUnit.SECONDS);
      }
    } finally {
      pool.shutdownNow();
    }
    assertEquals(threads * rounds, server.paths().size());
  }
}
