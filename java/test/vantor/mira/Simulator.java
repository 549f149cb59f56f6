// The bundled token-service simulator for the TokenClient tests: its own
// card file, served on a loopback port that it picks, stopped on close.
// Cards get known secrets so that the tests compute their codes directly.
package vantor.mira;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.GeneralSecurityException;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import javax.crypto.Mac;
import javax.crypto.spec.SecretKeySpec;

final class Simulator implements AutoCloseable {
  /** 2030-01-01 00:00:00 UTC, the expiry of every test card (the service sends 32-bit times). */
  static final long EXPIRE_AT = 1893456000L;

  private static final String SECRET_HEX = "3132333435363738393031323334353637383930";
  private static final int START_WAIT_STEPS = 100; // of 50 ms
  private static final int LIFETIME_SECONDS = 300;

  private final Path dir;
  private final Path db;
  private Process server;
  private int port;

  Simulator(Path dir) throws IOException {
    this.dir = Files.createDirectories(dir);
    this.db = dir.resolve("cards.db");
  }

  /** Adds a card, not yet enabled, with the shared test secret. */
  Simulator addCard(int cardNo, String serviceNo) throws IOException, InterruptedException {
    run(List.of("add-card", "--db", db.toString(), "--card", Integer.toString(cardNo),
        "--service-no", serviceNo, "--secret-file", "-", "--expire-at",
        Long.toString(EXPIRE_AT)), SECRET_HEX);
    return this;
  }

  /** Starts serving and writes a configuration file naming this simulator alone. */
  Path start() throws IOException, InterruptedException {
    Path portFile = dir.resolve("port");
    List<String> command = new ArrayList<>(List.of(executable(), "serve", "--db", db.toString(),
        "--port", "0", "--port-file", portFile.toString(), "--max-seconds",
        Integer.toString(LIFETIME_SECONDS)));
    server = new ProcessBuilder(command).redirectErrorStream(true)
        .redirectOutput(dir.resolve("serve.out").toFile()).start();
    for (int i = 0; i < START_WAIT_STEPS && port == 0; i++) {
      if (Files.exists(portFile) && Files.size(portFile) > 0) {
        port = Integer.parseInt(Files.readString(portFile).trim());
      } else {
        Thread.sleep(50);
      }
    }
    if (port == 0) throw new IOException("zcvsim did not start");
    Path config = dir.resolve("cfgfile.ini");
    Files.writeString(config, "[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0="
        + port + "\n", StandardCharsets.US_ASCII);
    return config;
  }

  /** The code a test card shows now, or `ahead` steps later. */
  static int otp(int ahead) {
    long step = Math.floorDiv(System.currentTimeMillis() / 1000, 60) + ahead;
    try {
      Mac mac = Mac.getInstance("HmacSHA1");
      mac.init(new SecretKeySpec(hex(SECRET_HEX), "HmacSHA1"));
      byte[] h = mac.doFinal(ByteBuffer.allocate(8).putLong(step).array());
      int o = h[h.length - 1] & 0xf;
      int bits = ((h[o] & 0x7f) << 24) | ((h[o + 1] & 0xff) << 16) | ((h[o + 2] & 0xff) << 8)
          | (h[o + 3] & 0xff);
      return bits % 1_000_000;
    } catch (GeneralSecurityException e) {
      throw new IllegalStateException(e);
    }
  }

  static int otp() {
    return otp(0);
  }

  @Override
  public void close() throws InterruptedException {
    if (server == null) return;
    server.destroy();
    if (!server.waitFor(5, TimeUnit.SECONDS)) server.destroyForcibly().waitFor();
  }

  private static String executable() {
    return System.getProperty("zcv.zcvsim", "zcvsim");
  }

  /** Runs zcvsim with {@code input} on its standard input (the secret never goes on its command line). */
  private void run(List<String> args, String input) throws IOException, InterruptedException {
    List<String> command = new ArrayList<>();
    command.add(executable());
    command.addAll(args);
    Process p = new ProcessBuilder(command).redirectErrorStream(true)
        .redirectOutput(dir.resolve("setup.out").toFile()).start();
    try (var stdin = p.getOutputStream()) {
      stdin.write(input.getBytes(java.nio.charset.StandardCharsets.US_ASCII));
    }
    if (!p.waitFor(30, TimeUnit.SECONDS) || p.exitValue() != 0) {
      throw new IOException("zcvsim " + args + " failed");
    }
  }

  private static byte[] hex(String text) {
    byte[] out = new byte[text.length() / 2];
    for (int i = 0; i < out.length; i++) {
      out[i] = (byte) Integer.parseInt(text.substring(2 * i, 2 * i + 2), 16);
    }
    return out;
  }
}
