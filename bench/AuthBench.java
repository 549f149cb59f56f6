// The Java side of the binding benchmark: CPU time of this thread per
// TokenClient.auth call against the configured loopback server, after a
// warm-up that lets the JIT compile the path. Prints one line per round:
// "<nanoseconds per call>".
import java.lang.management.ManagementFactory;
import java.lang.management.ThreadMXBean;
import java.nio.file.Path;
import vantor.mira.TokenClient;

public final class AuthBench {
  public static void main(String[] args) throws Exception {
    Path config = Path.of(args[0]);
    int calls = Integer.parseInt(args[1]);
    int rounds = Integer.parseInt(args[2]);
    ThreadMXBean threads = ManagementFactory.getThreadMXBean();
    try (TokenClient client = TokenClient.open(config, null)) {
      for (int i = 0; i < 2 * calls; i++) check(client.auth(1, 2).code());
      for (int r = 0; r < rounds; r++) {
        long start = threads.getCurrentThreadCpuTime();
        for (int i = 0; i < calls; i++) check(client.auth(1, 2).code());
        System.out.println((threads.getCurrentThreadCpuTime() - start) / calls);
      }
    }
  }

  private static void check(int code) {
    if (code != TokenClient.ACCEPTED) throw new IllegalStateException("auth answered " + code);
  }
}
