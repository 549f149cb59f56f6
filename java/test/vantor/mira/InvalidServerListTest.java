// The native methods when the library's server list is not valid: run in a
// JVM of its own, since the configuration file is read once, at load.
package vantor.mira;

import static org.junit.Assert.assertEquals;

import java.util.List;
import org.junit.AfterClass;
import org.junit.BeforeClass;
import org.junit.Test;

public class InvalidServerListTest {
  private static TokenServer server;

  @BeforeClass
  public static void writeIncompleteConfig() throws Exception {
    server = new TokenServer();
    server.respondAlways(
        "<Reply><Result>9999</Result><ExpireTime>0</ExpireTime>"
            + "<ResvPassWord>1</ResvPassWord></Reply>");
    // Two servers announced, one listed: the list is not valid, although the
    // server it names would answer.
    server.writeConfigFile(2);
  }

  @AfterClass
  public static void stopServer() throws Exception {
    server.close();
  }

  @Test
  public void everyMethodGivesNoAnswerAndAppendsNothing() {
    StringBuffer out = new StringBuffer("kept");
    assertEquals(Zephyrcoilvault.NO_ANSWER, Zephyrcoilvault.TokenAuth2(1, 2, out));
    assertEquals(Zephyrcoilvault.NO_ANSWER, Zephyrcoilvault.TokenAuth2Next(1, 2, 3, out));
    assertEquals(Zephyrcoilvault.NO_ANSWER, Zephyrcoilvault.TokenBindOther(1, 2, out));
    assertEquals(Zephyrcoilvault.NO_ANSWER, Zephyrcoilvault.TokenBindOtherNext(1, 2, 3, out));
    assertEquals("kept", out.toString());
    assertEquals(List.of(), server.paths());
  }
}
