// TokenClient on a real JVM against the bundled simulator: every operation
// with its outputs, texts in two charsets, threads, two clients, and calls
// after close. The JVM runs with TZ=UTC, so expiries read as UTC.
package vantor.mira;

import static org.junit.jupiter.api.Assertions.assertAll;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.net.InetAddress;
import java.net.ServerSocket;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Duration;
import java.time.LocalDateTime;
import java.util.ArrayList;
import java.util.List;
import java.util.Optional;
import java.util.OptionalInt;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.function.Consumer;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

class TokenClientTest {
  private static final LocalDateTime EXPIRY = LocalDateTime.of(2030, 1, 1, 0, 0, 0);
  private static final int ENABLED = 1;

  @TempDir Path dir;

  private static int otp() {
    return Simulator.otp();
  }

  private static int next() {
    return Simulator.otp(1);
  }

  private static void accepted(Outcome r) {
    assertEquals(TokenClient.ACCEPTED, r.code(), r.toString());
    assertTrue(r.isAccepted());
  }

  private static String password(PasswordResult r) {
    accepted(r);
    String p = r.reservedPassword().orElseThrow();
    assertEquals(6, p.length(), p);
    return p;
  }

  private static void expires(ExpiryResult r) {
    accepted(r);
    assertEquals(Optional.of(EXPIRY), r.expiry());
  }

  @Test
  void everyOperationWithItsOutputs() throws Exception {
    try (Simulator sim = new Simulator(dir)) {
      sim.addCard(1001, "SN-1001").addCard(1002, "SN-1002").addCard(1003, "SN-1003")
          .addCard(1004, "SN-1004");
      try (TokenClient c = TokenClient.open(sim.start(), dir.resolve("log.txt"))) {
        expires(c.enable("SN-1001", otp(), "Ann%20Lee", 1, "ID-1", null, null, null, null, null));
        expires(c.enableNext("SN-1002", otp(), next(), null, 0, null, null, null, null, null,
            null));
        expires(c.auth(1001, otp()));
        expires(c.auth2(1001, otp()));
        expires(c.auth2Next(1001, otp(), next()));
        StatusResult status = c.status(1001);
        accepted(status);
        assertEquals(OptionalInt.of(ENABLED), status.cardStatus());
        assertEquals(Optional.of(EXPIRY), status.expiry());

        password(c.binding(1001, otp(), 1, 100, "alice"));
        password(c.binding2(1001, otp(), 2, 200, "bob"));
        password(c.binding2Next(1001, otp(), next(), 3, 300, "carol"));
        for (BindingsResult rows :
            List.of(c.bindInfoQuery(1001, otp()), c.bindInfoQueryNext(1001, otp(), next()))) {
          accepted(rows);
          assertEquals(3, rows.rowCount());
          assertEquals(List.of("alice", "bob", "carol"),
              rows.bindings().stream().map(Binding::account).toList());
          Binding first = rows.bindings().get(0);
          assertEquals(1, first.appNo());
          assertEquals(100, first.appNo2());
          assertFalse(first.bindTime().isEmpty());
        }
        accepted(c.unbinding(1001, "SN-1001", otp(), 1, 100, "alice"));
        accepted(c.unbinding2(1001, "SN-1001", otp(), 2, 200, "bob"));
        accepted(c.unbinding2Next(1001, "SN-1001", otp(), next(), 3, 300, "carol"));
        password(c.binding(1001, otp(), 4, 400, "dave"));
        accepted(c.unbindingEx(1001, 4, 400, "dave"));
        String resv = password(c.binding(1001, otp(), 5, 500, "erin"));
        accepted(c.unbindingEx2(1001, 5, 500, "erin", resv));
        assertEquals(0, c.bindInfoQuery(1001, otp()).rowCount());

        accepted(c.modifyInfo(1001, otp(), "Ann%20Lee", 1, "ID-2", "555", null, null, null, null));
        accepted(c.modifyInfoNext(1001, otp(), next(), "Ann%20Lee", 1, "ID-3", null, null, null,
            null, null));
        password(c.bindEsale(1001, otp()));
        password(c.bindEsaleNext(1002, otp(), next()));
        password(c.bindOther(1001, otp()));
        password(c.bindOtherNext(1002, otp(), next()));

        accepted(c.loss(1001, "SN-1001", 1, 0, 0, null, "desk-7"));
        assertEquals(2004, c.auth(1001, otp()).code()); // the service's "card lost"
        assertEquals(Optional.empty(), c.auth(1001, otp()).expiry());
        accepted(c.unloss(1001, "SN-1001", otp(), "desk-7"));
        accepted(c.loss(1001, "SN-1001", 1, 0, 0, null, null));
        accepted(c.unlossNext(1001, "SN-1001", otp(), next(), null));

        accepted(c.change(1001, "SN-1001", "SN-1003", otp()));
        accepted(c.changeNext(1002, "SN-1002", "SN-1004", otp(), next()));
        accepted(c.disable(1003, "SN-1003", "ID-3", 0, 0, null, "desk-7"));
        assertEquals(OptionalInt.of(2), c.status(1003).cardStatus());
      }
    }
  }

  @ParameterizedTest
  @CsvSource({"GBK, 张三", "UTF-8, 张三", "UTF-8, ZoëÅberg"})
  void accountNamesTravelInTheClientsCharset(String charset, String account) throws Exception {
    try (Simulator sim = new Simulator(dir)) {
      sim.addCard(1001, "SN-1001");
      Path config = sim.start();
      try (TokenClient c = TokenClient.open(config, null, Charset.forName(charset))) {
        accepted(c.enable("SN-1001", otp(), null, 0, null, null, null, null, null, null));
        password(c.binding(1001, otp(), 1, 1, account));
        BindingsResult rows = c.bindInfoQuery(1001, otp());
        assertEquals(account, rows.bindings().get(0).account());
        accepted(c.unbindingEx(1001, 1, 1, account));
      }
    }
  }

  @ParameterizedTest
  @CsvSource({"UTF-16LE", "UTF-16BE", "UTF-16", "UTF-32", "IBM037"})
  void charsetsThatCutOrChangeCStringsAreRefusedAtOpen(String charset) throws Exception {
    // In UTF-16LE "alice" would reach the service as "a".
    Path config = Files.writeString(dir.resolve("cfgfile.ini"),
        "[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=9\n");
    assertThrows(IllegalArgumentException.class,
        () -> TokenClient.open(config, null, Charset.forName(charset)).close());
  }

  @Test
  void opensFromBytesAndBoundsEachCall() throws Exception {
    try (Simulator sim = new Simulator(dir)) {
      sim.addCard(1001, "SN-1001");
      byte[] config = Files.readAllBytes(sim.start());
      Charset utf8 = StandardCharsets.UTF_8;
      try (TokenClient c = TokenClient.open(config, null, utf8, Duration.ofSeconds(5))) {
        accepted(c.enable("SN-1001", otp(), null, 0, null, null, null, null, null, null));
        expires(c.auth(1001, otp()));
      }
      for (Duration bad : List.of(Duration.ZERO, Duration.ofSeconds(601), Duration.ofMillis(1500))) {
        assertThrows(IllegalArgumentException.class, () -> TokenClient.open(config, null, utf8, bad));
      }
      IOException e = assertThrows(IOException.class, () -> TokenClient.open(
          "[ServerSet]\nServerIP0=127.0.0.1\n".getBytes(utf8), null, utf8, null));
      assertTrue(e.getMessage().startsWith("\u8bfbServerNumber"), e.getMessage()); // GBK read as GBK
    }
    // A server that never answers: the call's own bound ends the call, not
    // the file's minute-long ReceiveTimeout.
    try (ServerSocket silent = new ServerSocket(0, 1, InetAddress.getLoopbackAddress())) {
      Path config = Files.writeString(dir.resolve("silent.ini"),
          "[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=" + silent.getLocalPort()
              + "\nReceiveTimeout=60\n");
      try (TokenClient c =
          TokenClient.open(config, null, StandardCharsets.UTF_8, Duration.ofSeconds(1))) {
        long started = System.nanoTime();
        assertEquals(TokenClient.NO_ANSWER, c.auth(1001, 1).code());
        assertTrue(System.nanoTime() - started < 30_000_000_000L);
      }
    }
  }

  @Test
  void unencodableOrMissingTextsAreRefusedBeforeSending() throws Exception {
    try (Simulator sim = new Simulator(dir)) {
      sim.addCard(1001, "SN-1001");
      Path config = sim.start();
      try (TokenClient gbk = TokenClient.open(config, null, Charset.forName("GBK"));
          TokenClient utf8 = TokenClient.open(config, null)) {
        accepted(gbk.enable("SN-1001", otp(), null, 0, null, null, null, null, null, null));
        List<Outcome> refused = List.of(
            gbk.binding(1001, otp(), 1, 1, "smile\uD83D\uDE00"),
            gbk.binding(1001, otp(), 1, 1, null),
            utf8.binding(1001, otp(), 1, 1, "a\0b"),
            utf8.binding(1001, otp(), 1, 1, "lone\uD800surrogate"),
            utf8.loss(1001, null, 1, 0, 0, null, null),
            utf8.unloss(1001, "SN-1001", otp(), "\uD800"));
        for (Outcome r : refused) assertEquals(TokenClient.ARGUMENT_REFUSED, r.code(), r.toString());
        // Nothing reached the service: no binding, and the card is not lost.
        assertEquals(0, utf8.bindInfoQuery(1001, otp()).rowCount());
        accepted(utf8.auth(1001, otp()));

        // GBK bytes read as UTF-8 arrive as U+FFFD, never as an exception.
        password(gbk.binding(1001, otp(), 2, 2, "张三"));
        String read = utf8.bindInfoQuery(1001, otp()).bindings().get(0).account();
        assertTrue(read.indexOf('\uFFFD') >= 0, read);
      }
    }
  }

  @Test
  void sixteenThreadsShareOneClient() throws Exception {
    final int threads = 16;
    final int callsEach = 20;
    try (Simulator sim = new Simulator(dir)) {
      sim.addCard(1001, "SN-1001");
      try (TokenClient c = TokenClient.open(sim.start(), null)) {
        accepted(c.enable("SN-1001", otp(), null, 0, null, null, null, null, null, null));
        ExecutorService pool = Executors.newFixedThreadPool(threads);
        List<Future<?>> done = new ArrayList<>();
        for (int t = 0; t < threads; t++) {
          final int app = t;
          done.add(pool.submit(() -> {
            for (int i = 0; i < callsEach; i++) {
              expires(c.auth(1001, otp()));
              assertEquals(OptionalInt.of(ENABLED), c.status(1001).cardStatus());
              // The service's "binding not found", for a text of this thread's own.
              assertEquals(2009, c.unbindingEx(1001, app, app, "user" + app).code());
            }
          }));
        }
        pool.shutdown();
        for (Future<?> f : done) f.get();
      }
    }
  }

  @Test
  void twoClientsOnTwoConfigurationsStayApart() throws Exception {
    try (Simulator a = new Simulator(dir.resolve("a")); Simulator b = new Simulator(dir.resolve("b"))) {
      a.addCard(1001, "SN-1001");
      b.addCard(2002, "SN-2002");
      try (TokenClient ca = TokenClient.open(a.start(), null);
          TokenClient cb = TokenClient.open(b.start(), null)) {
        accepted(ca.enable("SN-1001", otp(), null, 0, null, null, null, null, null, null));
        accepted(cb.enable("SN-2002", otp(), null, 0, null, null, null, null, null, null));
        expires(ca.auth(1001, otp()));
        assertEquals(2001, cb.auth(1001, otp()).code()); // unknown to b's service
        ca.close();
        expires(cb.auth(2002, otp()));
      }
    }
  }

  @Test
  void callsAfterCloseThrowAndOpenReportsABadConfiguration() throws Exception {
    Path config = Files.writeString(dir.resolve("cfgfile.ini"),
        "[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=9\n");
    TokenClient c = TokenClient.open(config, null);
    c.close();
    c.close();
    List<Consumer<TokenClient>> calls = List.of(
        t -> t.auth(1, 1),
        t -> t.binding(1, 1, 1, 1, "a"),
        t -> t.unbinding(1, null, 1, 1, 1, "a"),
        t -> t.bindInfoQuery(1, 1),
        t -> t.status(1),
        t -> t.modifyInfo(1, 1, null, 0, null, null, null, null, null, null));
    assertAll(calls.stream().map(call -> () ->
        assertThrows(IllegalStateException.class, () -> call.accept(c))));

    IOException e = assertThrows(IOException.class,
        () -> TokenClient.open(dir.resolve("missing.ini"), null));
    assertFalse(e.getMessage().isEmpty());
  }
}
