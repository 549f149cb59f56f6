// A loopback token-service stand-in for the tests: answers every GET on
// 127.0.0.1 with the reply body its responder picks for the request path,
// and records the paths. Each connection is served on a thread of its own.
package vantor.mira;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.net.InetAddress;
import java.net.ServerSocket;
import java.net.Socket;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.TimeUnit;
import java.util.function.Function;

final class TokenServer implements AutoCloseable {
  private static final int IO_TIMEOUT_MILLIS = 1000;
  private static final int MAX_HEAD_BYTES = 8192;

  private final ServerSocket listener;
  private final ExecutorService workers = Executors.newCachedThreadPool();
  private final List<String> paths = new ArrayList<>();
  private volatile Function<String, String> responder = path -> "";

  TokenServer() throws IOException {
    listener = new ServerSocket(0, 64, InetAddress.getLoopbackAddress());
    workers.execute(this::acceptLoop);
  }

  int port() {
    return listener.getLocalPort();
  }

  /**
   * Writes cfgfile.ini into the working directory, where the library reads it when it is
   * loaded: ServerNumber as given, and this server as server 0.
   */
  void writeConfigFile(int serverNumber) throws IOException {
    String ini =
        "[ServerSet]\nServerNumber=" + serverNumber + "\nServerIP0=127.0.0.1\nServerPort0=" + port()
            + "\n";
    Files.write(Paths.get("cfgfile.ini"), ini.getBytes(StandardCharsets.US_ASCII));
  }

  /**
   * Sets the reply body for each request path. Bodies are byte strings: each char below 256
   * is sent as one byte, so tests can send bytes that are not UTF-8.
   */
  void respond(Function<String, String> responder) {
    this.responder = responder;
  }

  void respondAlways(String body) {
    respond(path -> body);
  }

  /** Forgets the recorded requests. */
  synchronized void clear() {
    paths.clear();
  }

  /** The request-target of each request received, in order. */
  synchronized List<String> paths() {
    return new ArrayList<>(paths);
  }

  private synchronized void record(String path) {
    paths.add(path);
  }

  private void acceptLoop() {
    while (!listener.isClosed()) {
      try {
        Socket connection = listener.accept();
        workers.execute(() -> serve(connection));
      } catch (IOException closed) {
        return;
      }
    }
  }

  private void serve(Socket connection) {
    try (Socket socket = connection) {
      socket.setSoTimeout(IO_TIMEOUT_MILLIS);
      String head = readHead(socket.getInputStream());
      String requestLine = head.split("\r\n", 2)[0];
      String[] parts = requestLine.split(" ");
      String path = parts.length > 1 ? parts[1] : "";
      record(path);
      byte[] body = responder.apply(path).getBytes(StandardCharsets.ISO_8859_1);
      OutputStream out = socket.getOutputStream();
      String replyHead =
          "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " + body.length
              + "\r\nConnection: close\r\n\r\n";
      out.write(replyHead.getBytes(StandardCharsets.ISO_8859_1));
      out.write(body);
      out.flush();
    } catch (IOException ignored) {
      // The client gave up or never sent a request; its call fails on its own.
    }
  }

  private static String readHead(InputStream in) throws IOException {
    ByteArrayOutputStream head = new ByteArrayOutputStream();
    int matched = 0;
    final byte[] end = {'\r', '\n', '\r', '\n'};
    while (matched < end.length && head.size() < MAX_HEAD_BYTES) {
      int b = in.read();
      if (b < 0) break;
      head.write(b);
      matched = (b == end[matched]) ? matched + 1 : (b == '\r' ? 1 : 0);
    }
    return head.toString(StandardCharsets.ISO_8859_1);
  }

  @Override
  public void close() throws IOException, InterruptedException {
    listener.close();
    workers.shutdown();
    workers.awaitTermination(IO_TIMEOUT_MILLIS * 2L, TimeUnit.MILLISECONDS);
  }
}
